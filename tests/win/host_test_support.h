#pragma once
// A form with a panel and one hosted control on it, the stand-in registered in this process,
// and the application's error messages recorded.

#include <memory>
#include <string>
#include <vector>

#include "qel/player/qel_flash.h"
#include "tests/support/standin_win.h"
#include "ui/application_win.h"
#include "ui/forms_win.h"

// A control host as the player is, without the player's movie handling: it writes the window
// mode before activation and can be given stored state or site options first.
class TTestHost : public TqelOleControl {
public:
    struct TOptions {
        CLSID classId = CLSID_ShockwaveFlash;
        uint32_t siteOptions = 0;
        std::vector<uint8_t> storedState;
        bool activate = true;
    };
    explicit TTestHost(TComponent* owner) : TTestHost(owner, TOptions{}) {}
    TTestHost(TComponent* owner, const TOptions& options);
    // The slots below are what the control's events reach while it closes.
    ~TTestHost() override { ReleaseControl(); }

    TControlDescriptor descriptor;
    std::vector<TEventSlot> slots;

protected:
    void DescribeControl() override { SetDescriptor(descriptor, slots.data()); }
};

class THostedForm {
public:
    THostedForm();
    ~THostedForm();

    // Puts control on the panel, filling it.
    template <typename T> T* Place(T* control) {
        control->SetParent(panel);
        control->SetAlign(TAlign::Client);
        application->ProcessMessages();
        return control;
    }

    std::unique_ptr<TApplication> application;
    std::unique_ptr<TStandinServer> server;
    std::vector<std::string> errors;
    TForm* form = nullptr;
    TPanel* panel = nullptr;
};

// The stand-in behind a host, and its log.
ComPtr<IStandinControl> StandinBehind(TqelOleControl& host);
std::vector<std::string> LogOf(TqelOleControl& host);
// Whether lines holds each of expected in this order (other lines may come between).
bool InOrder(const std::vector<std::string>& lines, const std::vector<std::string>& expected);
// The first line that starts with prefix, or "".
std::string LineStarting(const std::vector<std::string>& lines, const std::string& prefix);
