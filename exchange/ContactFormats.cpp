#include "ContactFormats.h"

#include <cctype>

namespace {

bool EndsWithIgnoringCase(std::string_view text, std::string_view suffix) {
    if (text.size() < suffix.size())
        return false;
    text.remove_prefix(text.size() - suffix.size());
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != suffix[i])
            return false;
    }
    return true;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           EndsWithIgnoringCase(text.substr(0, prefix.size()), prefix);
}

} // namespace

std::optional<ContactFormat> ContactFormatForPath(std::string_view path) {
    if (EndsWithIgnoringCase(path, ".vcf") || EndsWithIgnoringCase(path, ".vcard"))
        return ContactFormat::VCard;
    if (EndsWithIgnoringCase(path, ".csv"))
        return ContactFormat::Csv;
    return std::nullopt;
}

std::optional<ContactFormat> ContactFormatForText(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    if (!StartsWithIgnoringCase(text, "begin:vcard"))
        return std::nullopt;
    text.remove_prefix(std::string_view("begin:vcard").size());
    const std::size_t end = text.find_first_not_of(" \t");
    if (end == std::string_view::npos || text[end] == '\r' || text[end] == '\n')
        return ContactFormat::VCard;
    return std::nullopt;
}
