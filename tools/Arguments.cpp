#include "Arguments.h"

#include "ToolError.h"

#include <string_view>
#include <vector>

namespace {

ToolError UsageError(const std::string& message) {
    return ToolError(message + " (try --help)");
}

Command CommandNamed(std::string_view name) {
    if (name == "normalize")
        return Command::Normalize;
    if (name == "check")
        return Command::Check;
    if (name == "tree")
        return Command::Tree;
    if (name == "find")
        return Command::Find;
    if (name.starts_with("-"))
        throw UsageError("unknown option " + Quoted(name));
    throw UsageError("unknown command " + Quoted(name));
}

// --help and --version win over everything else before "--".
std::optional<Command> InformationRequest(const std::vector<std::string_view>& words) {
    for (std::string_view word : words) {
        if (word == "--")
            break;
        if (word == "--help" || word == "-h")
            return Command::Help;
        if (word == "--version")
            return Command::Version;
    }
    return std::nullopt;
}

// find takes TEXT before FILE; the other commands take FILE alone.
std::size_t OperandsOf(Command command) {
    return command == Command::Find ? 2 : 1;
}

void TakeOperand(Arguments& arguments, std::string_view word, std::size_t& operands) {
    const std::size_t wanted = OperandsOf(arguments.command);
    if (operands == wanted)
        throw UsageError("unexpected argument " + Quoted(word));
    (++operands < wanted ? arguments.text : arguments.file) = word;
}

} // namespace

Arguments ParseArguments(int count, const char* const* values) {
    const std::vector<std::string_view> words(values, values + count);
    Arguments arguments;
    if (std::optional<Command> request = InformationRequest(words)) {
        arguments.command = *request;
        return arguments;
    }
    if (words.empty())
        throw UsageError("missing command");
    arguments.command = CommandNamed(words.front());
    std::size_t operands = 0;
    bool optionsEnded = false;
    for (std::size_t i = 1; i < words.size(); ++i) {
        std::string_view word = words[i];
        if (optionsEnded || word == "-" || !word.starts_with("-")) {
            TakeOperand(arguments, word, operands);
        } else if (word == "--") {
            optionsEnded = true;
        } else if (word != "-o") {
            throw UsageError("unknown option " + Quoted(word));
        } else if (arguments.command != Command::Normalize) {
            throw UsageError("option -o works with normalize only");
        } else if (i + 1 == words.size()) {
            throw UsageError("option -o needs a value");
        } else if (arguments.output) {
            throw UsageError("option -o given twice");
        } else {
            arguments.output = std::string(words[++i]);
        }
    }
    if (operands + 1 < OperandsOf(arguments.command))
        throw UsageError("missing TEXT after " + Quoted(words.front()));
    if (operands < OperandsOf(arguments.command))
        throw UsageError("missing FILE after " + Quoted(words.front()));
    if (arguments.command == Command::Find && arguments.text.empty())
        throw UsageError("TEXT is empty");
    return arguments;
}
