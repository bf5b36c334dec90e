#pragma once
// Signatures as scripted per path (unsigned when not scripted); records each question and whether
// the file was held against writers when it was asked.
#include "platform/CodeSignatures.h"
#include "platform/RuntimeError.h"
#include "tests/fakes/FakeFileSystem.h"

#include <map>
#include <vector>

class FakeCodeSignatures : public CodeSignatures {
public:
    explicit FakeCodeSignatures(const FakeFileSystem& files) : files_(files) {}

    std::map<Text, FileSignature> signatures;
    struct Question {
        Text path;
        bool fileHeld;
    };
    std::vector<Question> asked;
    // The system's verification cannot be used at all.
    bool unusable = false;

    FileSignature SignatureOf(const Text& path) override
    {
        asked.push_back({path, files_.Locked(path)});
        if (unusable) throw RuntimeError(ErrorNumber::FileNotFound, u"wintrust.dll offers no WinVerifyTrust");
        const auto found = signatures.find(path);
        return found == signatures.end() ? FileSignature{} : found->second;
    }

private:
    const FakeFileSystem& files_;
};
