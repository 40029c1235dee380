#include "tests/win/host_test_support.h"

TTestHost::TTestHost(TComponent* owner, const TOptions& options) : TqelOleControl(owner) {
    descriptor.classId = options.classId;
    descriptor.eventInterface = DIID_ShockwaveFlashEvents;
    descriptor.events = {FlashEvent::kReadyStateChange, FlashEvent::kOnProgress,
                         FlashEvent::kFSCommand, FlashEvent::kFlashCall};
    descriptor.siteOptions = options.siteOptions;
    slots.resize(descriptor.events.size());
    ConstructHostedControl();
    if (!options.storedState.empty())
        LoadStoredData(options.storedState);
    WriteWideProperty(FlashProperty::kWMode, L"Transparent");
    if (options.activate)
        ActivateControl();
}

THostedForm::THostedForm() {
    application = std::make_unique<TApplication>();
    application->SetErrorRecorder([this](const std::string& m) { errors.push_back(m); });
    server = std::make_unique<TStandinServer>();
    form = new TForm(nullptr);
    form->SetBounds(50, 50, 420, 320);
    panel = new TPanel(form);
    panel->SetParent(form);
    panel->SetAlign(TAlign::Client);
    form->Show();
    application->ProcessMessages();
}

THostedForm::~THostedForm() {
    delete form;
    server.reset();
    application.reset();
}

ComPtr<IStandinControl> StandinBehind(TqelOleControl& host) {
    return StandinOf(host.HostedObject());
}

std::vector<std::string> LogOf(TqelOleControl& host) {
    return StandinLog(StandinBehind(host).Get());
}

bool InOrder(const std::vector<std::string>& lines, const std::vector<std::string>& expected) {
    size_t next = 0;
    for (const std::string& line : lines)
        if (next < expected.size() && line.rfind(expected[next], 0) == 0)
            ++next;
    return next == expected.size();
}

std::string LineStarting(const std::vector<std::string>& lines, const std::string& prefix) {
    for (const std::string& line : lines)
        if (line.rfind(prefix, 0) == 0)
            return line;
    return "";
}
