#pragma once

// Two copies started together would share the package folder and fight over its files.
class SingleInstance {
public:
    virtual ~SingleInstance() = default;
    // True when no other copy of the program runs in this user session; this
    // copy then holds the claim until it ends. Never raises: when the system
    // cannot tell, the copy runs as if it were alone.
    virtual bool ClaimSoleCopy() = 0;
};
