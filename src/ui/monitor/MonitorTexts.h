#pragma once

#include <QString>

#include <qt6keychain/keychain.h>

// The broker's and the keyring's troubles as the panel tells them: in
// Portuguese first, the system's own words after, where they help.

// A reason the MQTT connection failed or was lost, as the client gives it.
QString mqttErrorText(const QString &reason);
// What the keyring answered, when it was not the password.
QString keyringErrorText(QKeychain::Error error, const QString &detail);
