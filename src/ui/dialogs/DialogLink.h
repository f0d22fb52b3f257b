#pragma once

#include "core/link/Protocol.h"

#include <QString>

#include <optional>

class App;

// How the settings commands and windows talk to the instrument: every
// exchange gives up after a bounded time, so a silent instrument never holds
// a command for ever.
namespace dialoglink {

// Seconds an exchange (handshake and re-reads included) may take; 10 s by default.
double timeoutSeconds();
void setTimeoutSeconds(double seconds);

// The link context of the App's port with that bound. The App must have a link.
LinkContext context(App &app);

// Shown when an exchange gave up.
extern const QString kNoAnswer;

// Tells the user why an exchange gave up; silent while the program closes.
void reportFailure(App &app, const LinkContext &ctx);

// What talks to the instrument: a settings command or window, or the logger
// memory's download or clearing.
enum class Talk { Settings, Memory };

// Why a click cannot talk to the instrument now.
extern const QString kMemoryTransfer;
extern const QString kExchangeBusy;

// At most one exchange with the instrument at a time. A click that arrives
// while another one waits on the instrument is refused with a message saying
// why (`tell`); reads a window's own timer starts are refused quietly.
// Scope guard; check active() after constructing it.
class Exchange {
public:
    explicit Exchange(App &app, Talk talk = Talk::Settings, bool tell = true);
    ~Exchange();
    Exchange(const Exchange &) = delete;
    Exchange &operator=(const Exchange &) = delete;
    bool active() const { return active_; }

private:
    bool active_ = false;
};
bool exchangeRunning();
// True while the logger memory is being downloaded or cleared.
bool memoryTransferRunning();
// Refuses (with the message, when `tell`) while an exchange runs; true when refused.
bool refuseWhileBusy(App &app, bool tell = true);

// Input box answer as a number: "." or "," as decimal separator, spaces
// around it ignored. nullopt when it is not a finite number.
std::optional<double> parseAnswer(const QString &answer);

// An input box that insists on a number: an empty answer (Cancel) gives
// nullopt; an answer that is not a number is refused with a short message
// and the box is shown again with the same default.
std::optional<double> askNumber(App &app, const QString &prompt, const QString &title, const QString &defaultAnswer);
extern const QString kNotANumber;

} // namespace dialoglink
