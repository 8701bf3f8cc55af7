#pragma once

// midi::CMIDIInException: thrown by CMIDIInDevice when a port cannot be
// opened or started.

#include <stdexcept>
#include <string>

namespace midi
{

class CMIDIInException : public std::runtime_error
{
public:
    explicit CMIDIInException(const std::string& message) : std::runtime_error(message) {}
};

} // namespace midi
