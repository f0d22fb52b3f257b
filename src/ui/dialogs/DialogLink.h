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

// At most one settings exchange at a time: a second click while one waits
// on the instrument is ignored, as is any click while the logger memory is
// being downloaded. Scope guard; check active() after constructing it.
class Exchange {
public:
    explicit Exchange(App &app);
    ~Exchange();
    Exchange(const Exchange &) = delete;
    Exchange &operator=(const Exchange &) = delete;
    bool active() const { return active_; }

private:
    bool active_ = false;
};
bool exchangeRunning();

// Input box answer as a number: "." or "," as decimal separator, spaces
// around it ignored. nullopt when it is not a finite number.
std::optional<double> parseAnswer(const QString &answer);

// An input box that insists on a number: an empty answer (Cancel) gives
// nullopt; an answer that is not a number is refused with a short message
// and the box is shown again with the same default.
std::optional<double> askNumber(App &app, const QString &prompt, const QString &title, const QString &defaultAnswer);
extern const QString kNotANumber;

} // namespace dialoglink
