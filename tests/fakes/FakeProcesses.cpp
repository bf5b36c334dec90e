#include "tests/fakes/FakeProcesses.h"

namespace {
class FakeStartedProcess : public StartedProcess {
public:
    FakeStartedProcess(FakeProcesses& owner, std::uint32_t processId) : owner_(owner), processId_(processId) {}
    ~FakeStartedProcess() override { owner_.log.push_back(u"Close " + DecimalText(processId_)); }
    std::uint32_t Id() const override { return processId_; }
    std::optional<std::uint32_t> WaitForExit() override
    {
        owner_.log.push_back(u"Wait " + DecimalText(processId_));
        if (owner_.onWait) owner_.onWait(processId_);
        return owner_.exitCode;
    }

private:
    FakeProcesses& owner_;
    std::uint32_t processId_;
};
} // namespace

std::unique_ptr<StartedProcess> FakeProcesses::Start(const Text& path, int windowStyle, const Text& currentFolder)
{
    log.push_back(u"Start " + path + u" " + DecimalText(windowStyle));
    startedIn[path] = currentFolder;
    if (onStart) onStart(path);
    auto found = startable.find(path);
    if (found == startable.end()) throw RuntimeError(ErrorNumber::FileNotFound, startError);
    return std::make_unique<FakeStartedProcess>(*this, found->second);
}

const FakeWindow* FakeProcesses::Find(WindowHandle window) const
{
    for (const auto& candidate : zOrder)
        if (candidate.handle == window) return &candidate;
    return nullptr;
}

WindowHandle FakeProcesses::FirstTopLevelWindow()
{
    if (onZOrderWalk) onZOrderWalk();
    return zOrder.empty() ? 0 : zOrder.front().handle;
}

WindowHandle FakeProcesses::NextWindow(WindowHandle window)
{
    for (std::size_t i = 0; i + 1 < zOrder.size(); ++i)
        if (zOrder[i].handle == window) return zOrder[i + 1].handle;
    return 0;
}

WindowHandle FakeProcesses::Parent(WindowHandle window)
{
    const auto* found = Find(window);
    return found ? found->parent : 0;
}

std::uint32_t FakeProcesses::WindowProcessId(WindowHandle window)
{
    const auto* found = Find(window);
    return found ? found->processId : 0;
}

void FakeProcesses::BringWindowToTop(WindowHandle window)
{
    log.push_back(u"Top " + DecimalText(static_cast<std::int64_t>(window)));
}

std::intptr_t FakeProcesses::ShellExecute(WindowHandle owner, const Text& operation, const Text& file,
                                          const Text& parameters, const Text& directory,
                                          int showCommand)
{
    log.push_back(u"ShellExecute " + DecimalText(static_cast<std::int64_t>(owner)) + u" [" + operation +
                  u"] " + file + u" [" + parameters + u"] [" + directory + u"] " + DecimalText(showCommand));
    return shellExecuteResult;
}
