#include "LockKeyIndicators.h"

#include "AppTexts.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QTimer>

#ifdef QUORVANE_HAVE_XKB
#include <X11/XKBlib.h>
#endif

namespace {

// Often enough to follow a key press without a noticeable lag; one round
// trip to the X server each time.
constexpr int kPollMs = 250;

#ifdef QUORVANE_HAVE_XKB
Display *x11Display()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->display() : nullptr;
}

// The LED index of each named indicator, looked up once per display.
std::optional<std::array<int, 3>> indicatorIndices(Display *display)
{
    static Display *knownDisplay = nullptr;
    static std::optional<std::array<int, 3>> known;
    if (display == knownDisplay)
        return known;
    knownDisplay = display;
    known.reset();
    std::array<int, 3> indices{};
    const std::array names{"Caps Lock", "Num Lock", "Scroll Lock"};
    for (std::size_t i = 0; i < names.size(); ++i) {
        const Atom atom = XInternAtom(display, names[i], False);
        if (!XkbGetNamedIndicator(display, atom, &indices[i], nullptr, nullptr, nullptr))
            return known;
    }
    known = indices;
    return known;
}
#endif

} // namespace

LockKeyIndicators::LockKeyIndicators(QWidget *parent) : QWidget(parent), poll(new QTimer(this))
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    const std::array names{"capsIndicator", "numIndicator", "scrollIndicator"};
    const std::array texts{&kIndicatorCaps, &kIndicatorNum, &kIndicatorScroll};
    for (std::size_t i = 0; i < labels.size(); ++i) {
        labels[i] = new QLabel(texts[i]->text(language), this);
        labels[i]->setObjectName(QString::fromLatin1(names[i]));
        labels[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        labels[i]->setAlignment(Qt::AlignCenter);
        labels[i]->setMinimumWidth(labels[i]->fontMetrics().horizontalAdvance(QStringLiteral("SCRL")) + 10);
        layout->addWidget(labels[i]);
    }
    connect(poll, &QTimer::timeout, this, &LockKeyIndicators::refresh);
    refresh();
    if (readLocks())
        poll->start(kPollMs);
}

LockKeyIndicators::~LockKeyIndicators() = default;

void LockKeyIndicators::setLanguage(int value)
{
    language = value;
    refresh();
}

std::optional<std::array<bool, 3>> LockKeyIndicators::readLocks()
{
#ifdef QUORVANE_HAVE_XKB
    Display *display = x11Display();
    if (!display)
        return std::nullopt;
    const auto indices = indicatorIndices(display);
    unsigned int state = 0;
    if (!indices || XkbGetIndicatorState(display, XkbUseCoreKbd, &state) != Success)
        return std::nullopt;
    std::array<bool, 3> on{};
    for (std::size_t i = 0; i < on.size(); ++i)
        on[i] = (state >> (*indices)[i]) & 1u;
    return on;
#else
    return std::nullopt;
#endif
}

void LockKeyIndicators::refresh()
{
    const auto locks = readLocks();
    for (std::size_t i = 0; i < labels.size(); ++i) {
        labels[i]->setEnabled(locks && (*locks)[i]);
        labels[i]->setToolTip(locks ? QString() : kIndicatorUnknown.text(language));
    }
}
