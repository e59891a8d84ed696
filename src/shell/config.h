// The keys of falkmere.ini, for the documentation checks.
#pragma once

#include <string>
#include <vector>

// Every key the configuration reader knows, in its table's order.
std::vector<std::string> configKeyNames();
