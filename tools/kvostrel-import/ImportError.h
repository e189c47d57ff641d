#pragma once

#include <stdexcept>
#include <string>

// A failure that ends the import: its text names the file (and line) at fault and is
// shown to the user as it stands.
class ImportError : public std::runtime_error
{
public:
    explicit ImportError(const std::string &message)
        : std::runtime_error(message)
    {
    }
};
