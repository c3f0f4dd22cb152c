#pragma once

#include <QString>

namespace orvanta {

// A microphone the user can choose: the sound server's source name and its description.
struct AudioInputDevice {
    QString id;
    QString name;

    friend bool operator==(const AudioInputDevice &, const AudioInputDevice &) = default;
};

} // namespace orvanta
