#pragma once

#include "Arguments.h"

#include <ostream>

// tellwick-book export: the book FILE as contacts, to OUT (atomically) or to out.
void ExportBookContacts(const Arguments& arguments, std::ostream& out);
// tellwick-book import: the contacts FILE as a book written atomically to OUT. Lists the
// records that do not fit on problems, one a line; returns false, writing nothing, when
// there are such records and replacing was not asked for. The summary goes to out.
bool ImportBookContacts(const Arguments& arguments, std::ostream& out, std::ostream& problems);
