#include "testutil.h"

#include <sys/stat.h>

#include <algorithm>
#include <unistd.h>

namespace {

bool exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

// Process-wide tables are built once, as the program does at start-up.
class TablesEnvironment : public ::testing::Environment {
  public:
    void SetUp() override { initEvalTables(); }
};
const auto* const tablesEnvironment = ::testing::AddGlobalTestEnvironment(new TablesEnvironment);

// The read end of a pipe that nothing ever writes to: searches in tests poll it
// and find no input, whatever the test process's own standard input holds.
int silentInput() {
    static int fd = [] {
        int ends[2];
        if (pipe(ends) != 0) return 0;
        return ends[0];
    }();
    return fd;
}

} // namespace

std::string dataFile(const std::string& name) {
    const char* env = std::getenv("FALKMERE_DATA_DIR");
    std::vector<std::string> candidates = {std::string(__FILE__).substr(0, std::string(__FILE__).rfind('/')) +
                                           "/data/" + name};
    if (env) candidates.push_back(std::string(env) + "/" + name);
    candidates.push_back(std::string(FALKMERE_DATA_DIR) + "/" + name);
    for (const auto& c : candidates) {
        if (exists(c)) return c;
    }
    return "";
}

std::vector<std::string> readLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

std::unique_ptr<Position> positionAt(const std::string& fen) {
    auto position = std::make_unique<Position>();
    EXPECT_EQ(position->board.readFen(fen.c_str()), 1) << fen;
    position->resetHistory();
    return position;
}

std::unique_ptr<Engine> engineAt(const std::string& fen) {
    auto engine = std::make_unique<Engine>();
    engine->inputQueue().readFrom(silentInput());
    EXPECT_EQ(engine->game().board().readFen(fen.c_str()), 1) << fen;
    engine->resetHistory();
    return engine;
}

std::string fenFields(const std::string& line) {
    std::istringstream in(line);
    std::string word, out;
    for (int i = 0; i < 4 && in >> word; ++i) out += (i ? " " : "") + word;
    return out;
}

std::vector<PerftCase> readPerftFile(const std::string& path) {
    std::vector<PerftCase> cases;
    for (const auto& line : readLines(path)) {
        const std::string fen = fenFields(line);
        for (size_t at = line.find(";D"); at != std::string::npos; at = line.find(";D", at + 2)) {
            int depth = 0;
            unsigned long long count = 0;
            if (std::sscanf(line.c_str() + at, ";D%d %llu", &depth, &count) == 2)
                cases.push_back({fen, depth, count});
        }
    }
    return cases;
}

// Legality by a direct attack test on the mover's king, independent of the
// generators' own legality test.
std::vector<Move> legalMoves(Position& position) {
    Move moves[MAX_MOVES];
    int count = 0;
    position.generateMoves(moves, count);
    std::vector<Move> legal;
    const Board& board = position.board;
    for (int i = 0; i < count; ++i) {
        if (moveCaptured(moves[i]) == KING) continue;
        position.pushMove(moves[i]);
        if (!board.isAttacked(board.side, board.kingSquare(board.side ^ 1))) legal.push_back(moves[i]);
        position.popMove();
    }
    return legal;
}

bool isLegalIn(Position& position, Move move) {
    const auto legal = legalMoves(position);
    return std::find(legal.begin(), legal.end(), move) != legal.end();
}

Move moveNamed(Position& position, const std::string& text) {
    for (Move m : legalMoves(position)) {
        if (coord(m) == text) return m;
    }
    ADD_FAILURE() << "no legal move " << text << " in " << position.board.fen();
    return NO_MOVE;
}

Move generatedMove(Position& position, Square from, Square to, int promotion) {
    Move moves[MAX_MOVES];
    int count = 0;
    position.board.generateAll(moves, count);
    for (int i = 0; i < count; ++i) {
        if (moveFrom(moves[i]) == from && moveTo(moves[i]) == to && movePromotion(moves[i]) == promotion)
            return moves[i];
    }
    ADD_FAILURE() << "no generated move " << from << "-" << to << " in " << position.board.fen();
    return NO_MOVE;
}

bool playMoves(Position& position, const std::vector<std::string>& moves) {
    for (const std::string& text : moves) {
        Move move = parseMove(position, text.c_str());
        if (move != NO_MOVE && movePiece(move) == NO_PIECE)
            move = moveFromSquares(position.board, moveFrom(move), moveTo(move), movePromotion(move));
        if (!isLegalIn(position, move)) return false;
        position.pushGameMove(move);
    }
    return true;
}

std::vector<std::string> allDataPositions() {
    std::vector<std::string> positions;
    for (const char* name :
         {"perft.epd", "perft-suite.epd", "wac.epd", "bk.epd", "ccr.epd", "bt2630.epd", "ecm.epd",
          "arasan2024.epd", "iq4.epd", "eet.epd", "pet.epd", "lapuce2.epd", "sts.epd"}) {
        const std::string path = dataFile(name);
        if (path.empty()) continue;
        for (const auto& line : readLines(path)) positions.push_back(fenFields(line));
    }
    return positions;
}

bool sharedDataPresent() { return !dataFile("wac.epd").empty() && !dataFile("games-lichess.pgn").empty(); }

std::string coord(Move move) {
    char text[8];
    moveToCoord(move, text);
    return text;
}

std::string san(Position& position, Move move) {
    char text[16];
    moveToSan(position, move, text);
    return text;
}
