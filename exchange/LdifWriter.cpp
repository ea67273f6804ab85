#include "AddressKind.h"
#include "ContactWriters.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace {

constexpr std::size_t kLineLength = 76;

// RFC 2849 SAFE-STRING: no NUL, CR or LF, nothing above 0x7F, and no space, ":" or "<" at
// the start. A value ending in a space is base64-encoded too, as the RFC advises.
bool IsSafeString(std::string_view value) {
    if (value.empty())
        return true;
    const char first = value.front();
    if (first == ' ' || first == ':' || first == '<' || value.back() == ' ')
        return false;
    for (char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == 0 || byte == '\r' || byte == '\n' || byte > 0x7F)
            return false;
    }
    return true;
}

std::string Base64(std::string_view bytes) {
    static constexpr char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string encoded;
    encoded.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t count = std::min<std::size_t>(3, bytes.size() - i);
        std::uint32_t group = 0;
        for (std::size_t k = 0; k < 3; ++k) {
            const auto byte = k < count ? static_cast<unsigned char>(bytes[i + k]) : 0u;
            group = (group << 8) | byte;
        }
        for (std::size_t k = 0; k < 4; ++k)
            encoded += k <= count ? kDigits[(group >> (18 - 6 * k)) & 0x3F] : '=';
    }
    return encoded;
}

// Lines longer than 76 characters go on in continuation lines that start with a space.
void AppendFolded(std::string& out, std::string_view line) {
    out.append(line.substr(0, kLineLength));
    out += '\n';
    for (std::size_t from = kLineLength; from < line.size(); from += kLineLength - 1) {
        out += ' ';
        out.append(line.substr(from, kLineLength - 1));
        out += '\n';
    }
}

void AppendAttribute(std::string& out, std::string_view name, std::string_view value) {
    std::string line(name);
    if (IsSafeString(value)) {
        line += ": ";
        line += value;
    } else {
        line += ":: ";
        line += Base64(value);
    }
    AppendFolded(out, line);
}

// A value inside a distinguished name, escaped as RFC 4514 asks.
std::string DnValue(std::string_view value) {
    std::string escaped;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        const bool edgeSpace = c == ' ' && (i == 0 || i + 1 == value.size());
        if (c == '\0') {
            escaped += "\\00";
            continue;
        }
        if (std::string_view(",+\"\\<>;=").find(c) != std::string_view::npos || edgeSpace ||
            (c == '#' && i == 0))
            escaped += '\\';
        escaped += c;
    }
    return escaped;
}

struct SortedAddresses {
    std::vector<std::string_view> emails;
    std::vector<std::string_view> phones;
    std::string description; // everything that has no field of its own, one a line
};

void AddToDescription(SortedAddresses& sorted, std::string_view address) {
    if (!sorted.description.empty())
        sorted.description += '\n';
    sorted.description += address;
}

constexpr std::size_t kEmailFields = 2;
constexpr std::array<std::string_view, 3> kPhoneFields = {"telephoneNumber", "homePhone", "mobile"};

SortedAddresses Sorted(const std::vector<std::string>& addresses) {
    SortedAddresses sorted;
    for (const std::string& address : addresses) {
        if (address.empty())
            continue;
        const AddressKind kind = ClassifyAddress(address);
        if (kind == AddressKind::Email && sorted.emails.size() < kEmailFields)
            sorted.emails.push_back(address);
        else if (kind == AddressKind::Telephone && sorted.phones.size() < kPhoneFields.size())
            sorted.phones.push_back(address);
        else
            AddToDescription(sorted, address);
    }
    return sorted;
}

} // namespace

void AppendLdifEntry(const ExportedContact& contact, std::string& out) {
    const SortedAddresses sorted = Sorted(contact.addresses);
    std::string dn = "cn=" + DnValue(contact.name);
    if (!sorted.emails.empty())
        dn += ",mail=" + DnValue(sorted.emails.front());
    AppendAttribute(out, "dn", dn);
    for (std::string_view objectClass :
         {"top", "person", "organizationalPerson", "inetOrgPerson", "mozillaAbPersonAlpha"})
        AppendAttribute(out, "objectclass", objectClass);
    AppendAttribute(out, "cn", contact.name);
    for (std::size_t i = 0; i < sorted.emails.size(); ++i)
        AppendAttribute(out, i == 0 ? "mail" : "mozillaSecondEmail", sorted.emails[i]);
    for (std::size_t i = 0; i < sorted.phones.size(); ++i)
        AppendAttribute(out, kPhoneFields[i], sorted.phones[i]);
    if (!sorted.description.empty())
        AppendAttribute(out, "description", sorted.description);
    out += '\n';
}
