#pragma once

#include <QString>

class ImportError;

// The window's Japanese wording of why a contact file could not be read, with its line:
// "4 行目: ...".
QString ImportErrorText(const ImportError& error);
