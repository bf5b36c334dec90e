#pragma once
// Every package the program knows, one row each, in the order of the download queue. The build's
// pin check (cmake/PackageDigests.cmake) and the end-to-end harness (e2e/harness/packages.py) read
// the rows below: each stays on one line as {u"<file name>", <planned when>, <install order>, <main>}.
#include "setup/Probes.h"

struct Package {
    // As on the server and in mavikfiles; the packages' pins name it too.
    const char16_t* fileName;
    // Whether this machine needs it, from the probes' answers.
    bool (*planned)(MachineFacts& facts);
    // Its place in the installation sequence, from 1.
    int installOrder;
    // The main application: the completion marker is written before it runs and read after.
    bool mainApplication;
};

inline constexpr Package Packages[] = {
    {u"NDP472-KB4054530-x86-x64-AllOS-ENU.exe", DotNet472Missing, 1, false},
    {u"PDFCreator.exe", PdfPrinterMissing, 3, false},
    {u"QorMavik32.exe", On32BitProcessor, 2, true},
    {u"QorMavik64.exe", OnOtherProcessors, 2, true},
};
