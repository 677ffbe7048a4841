#pragma once

#include <QEvent>

// The progress of reading or writing a project's picture rows, sent to the main window while
// the rows move: the percentage travels as the first parameter, the second is always 0.
inline constexpr QEvent::Type kProgressEventType = QEvent::User;

class ProgressEvent : public QEvent
{
public:
    explicit ProgressEvent(int percent)
        : QEvent(kProgressEventType)
        , m_percent(percent)
    {
    }
    int wParam() const { return m_percent; }
    int lParam() const { return 0; }

private:
    int m_percent;
};
