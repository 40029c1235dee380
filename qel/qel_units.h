#pragma once
// Starts the component units in their fixed order and shuts them down in reverse. The program
// entry and every test program hold exactly one guard for their whole run; no unit does work
// in a static constructor.

class TUnitGuard {
public:
    TUnitGuard();
    ~TUnitGuard();
    TUnitGuard(const TUnitGuard&) = delete;
    TUnitGuard& operator=(const TUnitGuard&) = delete;
};
