#pragma once
// A millisecond timer that ticks on the UI thread only while it is enabled and its interval is above 0:
// an interval of 0 means no ticks at all, not "as fast as possible".

#include <QObject>
#include <QTimer>

namespace skorva {

class VbTimer : public QObject {
    Q_OBJECT
  public:
    explicit VbTimer(int intervalMs, bool enabled, QObject* parent = nullptr);

    int interval() const { return interval_; }
    bool enabled() const { return enabled_; }
    void setInterval(int ms);
    void setEnabled(bool enabled);
    // True while ticks arrive.
    bool ticking() const { return timer_.isActive(); }

  signals:
    void tick();

  private:
    void apply();

    QTimer timer_;
    int interval_;
    bool enabled_;
};

}  // namespace skorva
