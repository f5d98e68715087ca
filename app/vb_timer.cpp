#include "app/vb_timer.h"

namespace skorva {

VbTimer::VbTimer(int intervalMs, bool enabled, QObject* parent)
    : QObject(parent), interval_(intervalMs), enabled_(enabled) {
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &VbTimer::tick);
    apply();
}

void VbTimer::setInterval(int ms) {
    interval_ = ms;
    apply();
}

void VbTimer::setEnabled(bool enabled) {
    enabled_ = enabled;
    apply();
}

void VbTimer::apply() {
    if (enabled_ && interval_ > 0) {
        // Restarting counts the interval from now, as a freshly enabled timer does.
        timer_.start(interval_);
    } else {
        timer_.stop();
    }
}

}  // namespace skorva
