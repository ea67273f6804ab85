#pragma once

#include <string>
#include <string_view>
#include <vector>

// One address entry as it is exported: UTF-8 text and its group path (GroupPath.h).
struct ExportedContact {
    std::string_view groupPath;
    std::string name;
    std::vector<std::string> addresses;
};

// Each appends the contact's text in its format to out.
void AppendVCard(const ExportedContact& contact, std::string& out);
void AppendCsvHeader(std::string& out);
void AppendCsvRow(const ExportedContact& contact, std::string& out);
void AppendLdifEntry(const ExportedContact& contact, std::string& out);
