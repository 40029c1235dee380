#pragma once
// Signing a book (Authenticode) with osslsigncode, which the Linux packer runs from PATH.

#include <string>

struct TSigningKey {
    std::string certificate; // PEM
    std::string key;         // PEM, without a passphrase
};

// Raises TMissingPrerequisite when this packer cannot sign (osslsigncode not on PATH, or a
// build that does not run it).
void CheckSigningTool();

// Writes a signed copy of the executable in to out; raises TError, with osslsigncode's own
// words, when it fails.
void SignExecutable(const std::string& in, const std::string& out, const TSigningKey& key);
