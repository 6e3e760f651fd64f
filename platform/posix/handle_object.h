// Kernel objects of the stand-in: every HANDLE it returns points at one of these, so that one
// CloseHandle serves files and threads alike.
#pragma once

struct HandleObject {
    virtual ~HandleObject() = default;
};
