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

} // namespace

std::optional<ContactFormat> ContactFormatForPath(std::string_view path) {
    if (EndsWithIgnoringCase(path, ".vcf") || EndsWithIgnoringCase(path, ".vcard"))
        return ContactFormat::VCard;
    if (EndsWithIgnoringCase(path, ".csv"))
        return ContactFormat::Csv;
    return std::nullopt;
}
