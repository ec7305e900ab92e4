#pragma once
// Automation on the session bus. A factory on the well-known name
// "com.quarva.VantorSplit" (object "/com/quarva/VantorSplit", interface
// "com.quarva.VantorSplit.Factory") starts a new splitter process for every client
// object it is asked for (CreateApplication() -> (s bus_name, o object_path)). That
// process opens its window as usual and serves "com.quarva.VantorSplit.Application" at
// "/com/quarva/VantorSplit/Application" with the members Run() -> b, SourceFile(s),
// Destination(s) and Size(s unit, i value), on the window thread.
//
// Calls arrive through the default GLib main context, which the window's event loop
// runs; "Run" returns when the operation has ended, and the window keeps serving
// further calls meanwhile.

#include <functional>
#include <memory>
#include <string>

namespace quarva::splitter {

class CVantorSplitDlg;

inline constexpr const char* kFactoryBusName = "com.quarva.VantorSplit";
inline constexpr const char* kFactoryObjectPath = "/com/quarva/VantorSplit";
inline constexpr const char* kFactoryInterface = "com.quarva.VantorSplit.Factory";
inline constexpr const char* kApplicationInterface = "com.quarva.VantorSplit.Application";
inline constexpr const char* kApplicationObjectPath = "/com/quarva/VantorSplit/Application";
// Each splitter process started for a client owns this name followed by its process id.
inline constexpr const char* kInstanceNamePrefix = "com.quarva.VantorSplit.Instance";

// Serves the factory until it has been idle for a while (the bus starts it again when a
// client asks); `program` is the splitter program the factory starts. Exit status.
int runAutomationFactory(const std::string& program);

// The automation object of one splitter process, linked to its window model while the
// client that asked for it is on the bus.
class CVantorSplitDlgAutoProxy {
public:
    // `clientGone` is called (on the window thread) when the client has left the bus.
    CVantorSplitDlgAutoProxy(CVantorSplitDlg& dlg, std::string clientName, std::function<void()> clientGone);
    ~CVantorSplitDlgAutoProxy();
    CVantorSplitDlgAutoProxy(const CVantorSplitDlgAutoProxy&) = delete;
    CVantorSplitDlgAutoProxy& operator=(const CVantorSplitDlgAutoProxy&) = delete;

    // Connects to the session bus and serves the object.
    // false with `error` set when the bus cannot be reached.
    bool Start(std::string* error);
    // Owns the instance name, which is what the factory waits for before it hands the
    // object to its client: called once the window has set itself up, so that no call
    // of the client comes before the window's own start and is undone by it.
    void Publish();

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace quarva::splitter
