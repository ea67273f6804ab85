#pragma once

#include <string_view>

// What an address of the book is taken for when it is written as a contact property.
enum class AddressKind { Email, Telephone, Other };

// Email: one "@" with text on both sides and no blanks or control characters.
// Telephone: at least three digits, and otherwise only "+" (first), "-", "(", ")", "." and
// spaces; the full-width forms of these are taken too, as Japanese books often hold them.
// Anything else is Other. The text is UTF-8.
AddressKind ClassifyAddress(std::string_view address);
