// A local program that misbehaves towards the suite's pipes and windows
// (HostileProgram.exe, see tools/wine/hostile_program.cpp), for as long as
// this object lives.
#pragma once

#include <windows.h>

#include <string>

class HostileProgram {
public:
    // Starts it with the arguments and waits until it misbehaves.
    explicit HostileProgram(const std::string &arguments);
    ~HostileProgram();
    HostileProgram(const HostileProgram &) = delete;
    HostileProgram &operator=(const HostileProgram &) = delete;

    bool ready() const { return ready_; }

private:
    PROCESS_INFORMATION process_ = {};
    bool ready_ = false;
};
