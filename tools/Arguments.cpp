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
    if (name == "export")
        return Command::Export;
    if (name == "import")
        return Command::Import;
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

bool IsContactCommand(Command command) {
    return command == Command::Export || command == Command::Import;
}

ContactFormat FormatNamed(std::string_view name, Command command) {
    if (name == "vcard")
        return ContactFormat::VCard;
    if (name == "csv")
        return ContactFormat::Csv;
    if (name == "ldif" && command == Command::Export)
        return ContactFormat::Ldif;
    if (name == "ldif")
        throw UsageError("import reads vcard or csv, not ldif");
    throw UsageError("unknown format " + Quoted(name));
}

// The value of the option at words[i], which moves past it.
std::string_view OptionValue(const std::vector<std::string_view>& words, std::size_t& i) {
    if (i + 1 == words.size())
        throw UsageError("option " + std::string(words[i]) + " needs a value");
    return words[++i];
}

void TakeOption(Arguments& arguments, const std::vector<std::string_view>& words, std::size_t& i) {
    const std::string_view word = words[i];
    const Command command = arguments.command;
    if (word == "-o" && command != Command::Normalize && !IsContactCommand(command))
        throw UsageError("option -o works with normalize, export and import only");
    if (word == "--format" && !IsContactCommand(command))
        throw UsageError("option --format works with export and import only");
    if (word == "--replace-unencodable" && command != Command::Import)
        throw UsageError("option --replace-unencodable works with import only");
    if (word == "--force" && !IsContactCommand(command))
        throw UsageError("option --force works with export and import only");
    if (word == "-o") {
        const std::string_view value = OptionValue(words, i);
        if (arguments.output)
            throw UsageError("option -o given twice");
        arguments.output = std::string(value);
    } else if (word == "--format") {
        const ContactFormat format = FormatNamed(OptionValue(words, i), command);
        if (arguments.format)
            throw UsageError("option --format given twice");
        arguments.format = format;
    } else if (word == "--replace-unencodable") {
        arguments.replaceUnencodable = true;
    } else if (word == "--force") {
        arguments.force = true;
    } else {
        throw UsageError("unknown option " + Quoted(word));
    }
}

void CheckComplete(const Arguments& arguments, std::string_view commandWord, std::size_t operands) {
    if (operands + 1 < OperandsOf(arguments.command))
        throw UsageError("missing TEXT after " + Quoted(commandWord));
    if (operands < OperandsOf(arguments.command))
        throw UsageError("missing FILE after " + Quoted(commandWord));
    if (arguments.command == Command::Find && arguments.text.empty())
        throw UsageError("TEXT is empty");
    if (IsContactCommand(arguments.command) && !arguments.format)
        throw UsageError(std::string(commandWord) + " needs --format");
    if (arguments.command == Command::Import && !arguments.output)
        throw UsageError("import needs -o BOOK");
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
        if (optionsEnded || word == "-" || !word.starts_with("-"))
            TakeOperand(arguments, word, operands);
        else if (word == "--")
            optionsEnded = true;
        else
            TakeOption(arguments, words, i);
    }
    CheckComplete(arguments, words.front(), operands);
    return arguments;
}
