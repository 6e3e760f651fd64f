// Reads the score text. A statement starts at the beginning of a line; lines that start with
// blanks continue it. ';' starts a comment. See assets/builtin_tune.score for the format.
#include "score.h"

#include <cctype>
#include <sstream>
#include <stdexcept>
#include <utility>

namespace {

struct Line {
    int number;
    std::vector<std::string> words;
};

struct Statement {
    Line head;
    std::vector<Line> continuation;
};

[[noreturn]] void Fail(int line, const std::string& message) {
    throw std::runtime_error("line " + std::to_string(line) + ": " + message);
}

std::vector<std::string> SplitWords(const std::string& text) {
    std::istringstream stream(text);
    std::vector<std::string> words;
    for (std::string word; stream >> word;) words.push_back(word);
    return words;
}

// Groups the text into statements, comments removed; the title keeps its text whole.
std::vector<Statement> ReadStatements(const std::string& text) {
    std::vector<Statement> statements;
    std::istringstream stream(text);
    int number = 0;
    for (std::string raw; std::getline(stream, raw);) {
        ++number;
        const std::string content = raw.substr(0, raw.find(';'));
        std::vector<std::string> words = SplitWords(content);
        if (words.empty()) continue;
        const bool continues = std::isspace(static_cast<unsigned char>(content[0])) != 0;
        if (!continues && words[0] == "title") {
            const size_t start = content.find('"');
            const size_t end = content.rfind('"');
            if (start == std::string::npos || end == start) Fail(number, "title needs \"text\"");
            words = {"title", content.substr(start + 1, end - start - 1)};
        }
        if (continues) {
            if (statements.empty()) Fail(number, "continuation without a statement");
            statements.back().continuation.push_back({number, words});
        } else {
            statements.push_back({{number, words}, {}});
        }
    }
    return statements;
}

int ParseNumber(const std::string& text, int low, int high, int line) {
    size_t used = 0;
    int value = 0;
    try {
        value = std::stoi(text, &used);
    } catch (const std::exception&) {
        Fail(line, "'" + text + "' is not a number");
    }
    if (used != text.size() || value < low || value > high)
        Fail(line, "'" + text + "' must be a number from " + std::to_string(low) + " to " +
                       std::to_string(high));
    return value;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// "C-4", "F#2": the XM note number 1..96, or 0 when the text is no note.
int ParseNote(const std::string& text) {
    static const int kSemitones[7] = {9, 11, 0, 2, 4, 5, 7}; // A..G
    if (text.size() != 3 || text[0] < 'A' || text[0] > 'G') return 0;
    if ((text[1] != '-' && text[1] != '#') || text[2] < '0' || text[2] > '7') return 0;
    const int semitone = kSemitones[text[0] - 'A'] + (text[1] == '#' ? 1 : 0);
    const int note = (text[2] - '0') * 12 + semitone + 1;
    return note >= 1 && note <= 96 ? note : 0;
}

class Parser {
  public:
    Score Run(const std::string& text);

  private:
    void Title(const Statement& statement);
    void Speed(const Statement& statement);
    void Bpm(const Statement& statement);
    void Channels(const Statement& statement);
    void Instrument(const Statement& statement);
    void Alias(const Statement& statement);
    void Phrase(const Statement& statement);
    void Pattern(const Statement& statement);
    void Order(const Statement& statement);
    std::vector<ScoreCell> Cells(std::string token, int defaultInstrument, int line) const;
    std::string ExpandAlias(const std::string& token) const;
    void ApplyModifiers(const std::string& modifiers, ScoreCell& cell, int line) const;
    std::vector<ScoreCell> PhraseReference(const std::string& reference, int line) const;
    void Check(int line) const;

    Score score_;
    std::map<std::string, int> instrumentNumbers_;
    std::map<std::string, std::string> aliases_;
    std::map<std::string, std::vector<ScoreCell>> phrases_;
    std::map<std::string, int> patternNumbers_;
};

Score Parser::Run(const std::string& text) {
    using Handler = void (Parser::*)(const Statement&);
    static const std::map<std::string, Handler> kHandlers = {
        {"title", &Parser::Title},
        {"speed", &Parser::Speed},
        {"bpm", &Parser::Bpm},
        {"channels", &Parser::Channels},
        {"instrument", &Parser::Instrument},
        {"alias", &Parser::Alias},
        {"phrase", &Parser::Phrase},
        {"pattern", &Parser::Pattern},
        {"order", &Parser::Order},
    };
    int lastLine = 0;
    for (const Statement& statement : ReadStatements(text)) {
        lastLine = statement.head.number;
        auto handler = kHandlers.find(statement.head.words[0]);
        if (handler == kHandlers.end())
            Fail(lastLine, "unknown statement '" + statement.head.words[0] + "'");
        (this->*handler->second)(statement);
    }
    Check(lastLine);
    return score_;
}

void Parser::Speed(const Statement& statement) {
    if (statement.head.words.size() != 2) Fail(statement.head.number, "speed needs one number");
    score_.speed = ParseNumber(statement.head.words[1], 1, 31, statement.head.number);
}

void Parser::Bpm(const Statement& statement) {
    if (statement.head.words.size() != 2) Fail(statement.head.number, "bpm needs one number");
    score_.bpm = ParseNumber(statement.head.words[1], 32, 255, statement.head.number);
}

void Parser::Title(const Statement& statement) {
    const std::string& title = statement.head.words[1];
    if (title.size() > 20) Fail(statement.head.number, "the title has more than 20 characters");
    for (char c : title)
        if (c < 0x20 || c > 0x7E) Fail(statement.head.number, "the title must be plain ASCII");
    score_.title = title;
}

void Parser::Channels(const Statement& statement) {
    score_.channels.assign(statement.head.words.begin() + 1, statement.head.words.end());
    if (score_.channels.empty() || score_.channels.size() > 32)
        Fail(statement.head.number, "channels needs 1 to 32 names");
}

// instrument NAME wave=KIND key=value ...
void Parser::Instrument(const Statement& statement) {
    const int line = statement.head.number;
    if (statement.head.words.size() < 2) Fail(line, "instrument needs a name");
    ScoreInstrument instrument;
    instrument.name = statement.head.words[1];
    instrument.line = line;
    std::vector<Line> lines = statement.continuation;
    lines.insert(lines.begin(),
                 {line, {statement.head.words.begin() + 2, statement.head.words.end()}});
    for (const Line& part : lines) {
        for (const std::string& word : part.words) {
            const size_t equals = word.find('=');
            if (equals == std::string::npos) Fail(part.number, "expected key=value: " + word);
            const std::string key = word.substr(0, equals);
            const std::string value = word.substr(equals + 1);
            if (key == "wave") {
                instrument.wave = value;
                continue;
            }
            try {
                instrument.settings[key] = std::stod(value);
            } catch (const std::exception&) {
                Fail(part.number, "'" + value + "' is not a number");
            }
        }
    }
    if (instrumentNumbers_.count(instrument.name)) Fail(line, "instrument defined twice");
    if (score_.instruments.size() == 255) Fail(line, "more than 255 instruments");
    score_.instruments.push_back(instrument);
    instrumentNumbers_[instrument.name] = static_cast<int>(score_.instruments.size());
}

// alias NAME CELL: NAME stands for CELL in phrases (modifiers after NAME are added to it).
void Parser::Alias(const Statement& statement) {
    const std::vector<std::string>& words = statement.head.words;
    const int line = statement.head.number;
    if (words.size() != 3) Fail(line, "alias needs a name and a cell");
    if (!std::islower(static_cast<unsigned char>(words[1][0])))
        Fail(line, "alias names start with a lower-case letter");
    if (words[2].find('*') != std::string::npos) Fail(line, "an alias stands for one cell");
    const std::string cell = ExpandAlias(words[2]);
    Cells(cell, 0, line); // checks the cell now
    aliases_[words[1]] = cell;
}

// phrase NAME [@INSTRUMENT] CELL...: one channel's cells, one row per cell.
void Parser::Phrase(const Statement& statement) {
    const int line = statement.head.number;
    std::vector<Line> lines = statement.continuation;
    lines.insert(lines.begin(), statement.head);
    if (statement.head.words.size() < 2) Fail(line, "phrase needs a name");
    const std::string name = statement.head.words[1];
    if (phrases_.count(name)) Fail(line, "phrase '" + name + "' defined twice");
    int defaultInstrument = 0;
    std::vector<ScoreCell> cells;
    for (size_t i = 0; i < lines.size(); ++i) {
        for (size_t w = i == 0 ? 2 : 0; w < lines[i].words.size(); ++w) {
            const std::string& word = lines[i].words[w];
            if (word == "|") continue; // bar line, for the reader
            if (word[0] == '@' && i == 0 && w == 2) {
                auto found = instrumentNumbers_.find(word.substr(1));
                if (found == instrumentNumbers_.end()) Fail(line, "unknown instrument " + word);
                defaultInstrument = found->second;
                continue;
            }
            const std::vector<ScoreCell> more = Cells(word, defaultInstrument, lines[i].number);
            cells.insert(cells.end(), more.begin(), more.end());
        }
    }
    if (cells.empty() || cells.size() > kPatternRows) Fail(line, "a phrase has 1 to 64 rows");
    phrases_[name] = cells;
}

// One cell token: HEAD[@instrument][/volume][!effect][*repeat], HEAD being a note such as
// C-4 or F#2, '.' (no note), '^' (key-off) or an alias.
std::vector<ScoreCell> Parser::Cells(std::string token, int defaultInstrument, int line) const {
    int repeat = 1;
    const size_t star = token.find('*');
    if (star != std::string::npos) {
        repeat = ParseNumber(token.substr(star + 1), 1, kPatternRows, line);
        token.erase(star);
    }
    token = ExpandAlias(token);
    const size_t headEnd = token.find_first_of("@/!");
    const std::string head = token.substr(0, headEnd);
    ScoreCell cell;
    if (head == "^") {
        cell.note = 97;
    } else if (head != ".") {
        cell.note = static_cast<uint8_t>(ParseNote(head));
        if (cell.note == 0) Fail(line, "'" + head + "' is no note, '.', '^' or alias");
        cell.instrument = static_cast<uint8_t>(defaultInstrument);
    }
    ApplyModifiers(headEnd == std::string::npos ? "" : token.substr(headEnd), cell, line);
    return std::vector<ScoreCell>(repeat, cell);
}

// The token with an alias at its head replaced by the alias's cell, the token's own modifiers
// following the alias's (so that they win).
std::string Parser::ExpandAlias(const std::string& token) const {
    const size_t headEnd = token.find_first_of("@/!");
    auto alias = aliases_.find(token.substr(0, headEnd));
    if (alias == aliases_.end()) return token;
    return alias->second + (headEnd == std::string::npos ? "" : token.substr(headEnd));
}

void Parser::ApplyModifiers(const std::string& modifiers, ScoreCell& cell, int line) const {
    size_t at = 0;
    while (at < modifiers.size()) {
        const char kind = modifiers[at];
        const size_t end = modifiers.find_first_of("@/!", at + 1);
        const std::string value = modifiers.substr(at + 1, end - at - 1);
        if (kind == '@') {
            auto found = instrumentNumbers_.find(value);
            if (found == instrumentNumbers_.end()) Fail(line, "unknown instrument @" + value);
            cell.instrument = static_cast<uint8_t>(found->second);
        } else if (kind == '/') {
            cell.volume = static_cast<uint8_t>(0x10 + ParseNumber(value, 0, 64, line));
        } else {
            const char type = value.empty() ? '?' : value[0];
            const int effect = std::isdigit(static_cast<unsigned char>(type)) ? type - '0'
                               : (type >= 'A' && type <= 'Z')                 ? type - 'A' + 10
                                                                              : -1;
            if (value.size() != 3 || effect < 0 || HexDigit(value[1]) < 0 || HexDigit(value[2]) < 0)
                Fail(line, "an effect is written !Xyy, as !037 or !F04: !" + value);
            cell.effect = static_cast<uint8_t>(effect);
            cell.parameter = static_cast<uint8_t>(HexDigit(value[1]) * 16 + HexDigit(value[2]));
        }
        at = end == std::string::npos ? modifiers.size() : end;
    }
}

// NAME[+N|-N][*R]: a phrase, its notes moved by N semitones, played R times.
std::vector<ScoreCell> Parser::PhraseReference(const std::string& reference, int line) const {
    std::string name = reference;
    int repeat = 1;
    int transpose = 0;
    const size_t star = name.find('*');
    if (star != std::string::npos) {
        repeat = ParseNumber(name.substr(star + 1), 1, kPatternRows, line);
        name.erase(star);
    }
    const size_t sign = name.find_first_of("+-");
    if (sign != std::string::npos) {
        transpose = ParseNumber(name.substr(sign + (name[sign] == '+' ? 1 : 0)), -95, 95, line);
        name.erase(sign);
    }
    auto found = phrases_.find(name);
    if (found == phrases_.end()) Fail(line, "unknown phrase '" + name + "'");
    std::vector<ScoreCell> cells;
    for (int i = 0; i < repeat; ++i) {
        for (ScoreCell cell : found->second) {
            if (cell.note >= 1 && cell.note <= 96) {
                const int note = cell.note + transpose;
                if (note < 1 || note > 96) Fail(line, reference + " leaves the notes C-0..B-7");
                cell.note = static_cast<uint8_t>(note);
            }
            cells.push_back(cell);
        }
    }
    return cells;
}

// pattern NAME, then one line per channel: CHANNEL PHRASE... adding up to 64 rows.
void Parser::Pattern(const Statement& statement) {
    const int line = statement.head.number;
    if (score_.channels.empty()) Fail(line, "channels must come before the first pattern");
    if (statement.head.words.size() != 2) Fail(line, "pattern needs one name");
    ScorePattern pattern;
    pattern.name = statement.head.words[1];
    const size_t channelCount = score_.channels.size();
    pattern.cells.resize(kPatternRows * channelCount);
    for (const Line& part : statement.continuation) {
        size_t channel = 0;
        while (channel < channelCount && score_.channels[channel] != part.words[0]) ++channel;
        if (channel == channelCount) Fail(part.number, "unknown channel " + part.words[0]);
        std::vector<ScoreCell> cells;
        for (size_t w = 1; w < part.words.size(); ++w) {
            const std::vector<ScoreCell> more = PhraseReference(part.words[w], part.number);
            cells.insert(cells.end(), more.begin(), more.end());
        }
        if (cells.size() != kPatternRows)
            Fail(part.number, "channel " + part.words[0] + " has " + std::to_string(cells.size()) +
                                  " rows instead of 64");
        for (int row = 0; row < kPatternRows; ++row)
            pattern.cells[row * channelCount + channel] = cells[row];
    }
    if (patternNumbers_.count(pattern.name)) Fail(line, "pattern defined twice");
    patternNumbers_[pattern.name] = static_cast<int>(score_.patterns.size());
    score_.patterns.push_back(pattern);
}

void Parser::Order(const Statement& statement) {
    std::vector<Line> lines = statement.continuation;
    lines.insert(lines.begin(), {statement.head.number,
                                 {statement.head.words.begin() + 1, statement.head.words.end()}});
    for (const Line& part : lines) {
        for (const std::string& name : part.words) {
            auto found = patternNumbers_.find(name);
            if (found == patternNumbers_.end()) Fail(part.number, "unknown pattern " + name);
            score_.order.push_back(static_cast<uint8_t>(found->second));
        }
    }
}

void Parser::Check(int line) const {
    if (score_.title.empty()) Fail(line, "the score has no title");
    if (score_.instruments.empty()) Fail(line, "the score has no instrument");
    if (score_.patterns.empty() || score_.patterns.size() > 256)
        Fail(line, "the score needs 1 to 256 patterns");
    if (score_.order.empty() || score_.order.size() > 256)
        Fail(line, "the order list needs 1 to 256 entries");
}

} // namespace

Score ParseScore(const std::string& text) {
    return Parser().Run(text);
}
