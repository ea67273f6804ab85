#pragma once

#include "ToolError.h"
#include "file/LineReader.h"
#include "model/EntryTree.h"

#include <cerrno>
#include <fstream>
#include <string>

// Opens a book for reading in binary mode; throws ToolError when the path is missing, is not
// a regular file or cannot be opened.
std::ifstream OpenBookFile(const std::string& path);
// Reports a read failure of the book at path, with the reason errno gives if any.
[[noreturn]] void ThrowReadError(const std::string& path);

// Runs read(stream) on the opened book, turning a read failure into a ToolError naming it.
template <typename Read> auto ReadingBook(const std::string& path, Read read) {
    std::ifstream in = OpenBookFile(path);
    try {
        errno = 0;
        return read(in);
    } catch (const BookIoError&) {
        ThrowReadError(path);
    }
}

// Fills an empty tree from the book at path; throws ToolError on any failure.
void LoadBook(const std::string& path, EntryTree& tree);
