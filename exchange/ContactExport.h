#pragma once

#include "ContactFormats.h"
#include "model/EntryTree.h"

#include <ostream>

// Writes every address entry of the book as a contact, in book order, as UTF-8 text: names
// and addresses are decoded from CP932, bytes that are not CP932 become U+FFFD.
// Separators are skipped; groups become the group path of the entries inside them (see
// GroupPath.h), so a group with no address entry below it is not written.
//
// VCard: vCard 4.0, one card per entry: FN the name; CATEGORIES the group path (none at the
//   top level); then each address in stored order as EMAIL, TEL or NOTE (AddressKind.h). An
//   entry whose only address is empty gets no address property (importing such a card gives
//   that one empty address back). CRLF line ends, lines folded at 75 octets, text escaped.
// Csv: RFC 4180 with CRLF; the header "Group,Name,Addresses", then one row per entry: the
//   group path, the name, and the addresses joined by "," as the book joins them.
// Ldif: LDIF for Thunderbird's address book, without groups: dn "cn=NAME,mail=FIRST-EMAIL",
//   cn, mail and mozillaSecondEmail for the first two e-mail addresses, telephoneNumber,
//   homePhone and mobile for the first three telephone numbers, and every other non-empty
//   address in description, one a line.
//
// A failure of the stream is left in its state for the caller to check.
void ExportContacts(const EntryTree& tree, ContactFormat format, std::ostream& out);
