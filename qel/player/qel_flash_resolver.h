#pragma once
// The player's resolver: where each file the hosted control asks for comes from. It chooses the
// target of a request when the control asks for a moniker, and serves it when the control binds
// through that moniker: the program's resources, a stored movie, a live stream, the package,
// a file beside the book or the download service. A new source of files goes here and into the
// request rules (qel_flash_requests), nowhere in the host.

#include <functional>
#include <memory>
#include <string>

#include "base/streams.h"
#include "qel/host/qel_flash_olehost.h"

class TqelResolver final : public TqelFileSource {
public:
    // listedStream: the stored movie that serves a "<list>" request of that name, or null.
    explicit TqelResolver(std::function<TStream*(const std::string&)> listedStream)
        : listedStream_(std::move(listedStream)) {}

    // Chooses where the request for name is served from; false when the control is to fetch it by
    // its own means.
    bool Choose(const std::wstring& name);
    HRESULT BindToStorage(IBindCtx* context) override;

    // The target of the last request, until it is served.
    const std::wstring& PendingTarget() const { return pendingTarget_; }
    // Where "<exe>" requests are read from; empty (the default) for the running executable.
    const std::string& PackagePath() const { return packagePath_; }
    void SetPackagePath(const std::string& path) { packagePath_ = path; }

private:
    std::function<TStream*(const std::string&)> listedStream_;
    std::wstring pendingTarget_;
    std::string packagePath_;
};

// Movies stored as RCDATA resources of the executable (names in any letter case).
bool HasMovieResource(const std::string& name);
// Raises TError when there is none.
std::shared_ptr<TStream> OpenMovieResource(const std::string& name);
