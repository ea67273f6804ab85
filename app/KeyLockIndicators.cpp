#include "KeyLockIndicators.h"

#include <QGuiApplication>
#include <QHash>
#include <QLabel>
#include <QStatusBar>
#include <QTimer>
#include <QtGui/qguiapplication_platform.h>

#if QT_CONFIG(xcb)
#include <X11/XKBlib.h>
#endif

namespace {

// On, off, or unknown (nullopt) for one named keyboard indicator.
std::optional<bool> LockState(const char* indicatorName) {
#if QT_CONFIG(xcb)
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->display())
        return std::nullopt;
    Display* display = x11->display();
    // Look each name up once: every lookup is a round trip to the X server.
    static QHash<QByteArray, Atom> atoms;
    auto found = atoms.find(indicatorName);
    if (found == atoms.end())
        found = atoms.insert(indicatorName, XInternAtom(display, indicatorName, True));
    const Atom name = found.value();
    int on = 0;
    if (name == 0 || !XkbGetNamedIndicator(display, name, nullptr, &on, nullptr, nullptr))
        return std::nullopt;
    return on != 0;
#else
    Q_UNUSED(indicatorName);
    return std::nullopt;
#endif
}

} // namespace

KeyLockIndicators::KeyLockIndicators(QStatusBar* bar) : QObject(bar) {
    panes_ = {
        {addPane(bar, QStringLiteral("ｶﾅ"), "kanaIndicator"), QStringLiteral("ｶﾅ"), "Kana"},
        {addPane(bar, QStringLiteral("CAP"), "capsIndicator"), QStringLiteral("CAP"), "Caps Lock"},
        {addPane(bar, QStringLiteral("NUM"), "numIndicator"), QStringLiteral("NUM"), "Num Lock"},
        {addPane(bar, QStringLiteral("SCRL"), "scrollIndicator"), QStringLiteral("SCRL"),
         "Scroll Lock"}};
    refresh();
    // Lock keys pressed in other windows change the state too; a slow poll follows them.
    auto* poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this, &KeyLockIndicators::refresh);
    poll->start(500);
}

QLabel* KeyLockIndicators::addPane(QStatusBar* bar, const QString& text, const char* name) {
    auto* label = new QLabel(text, bar);
    label->setObjectName(QLatin1String(name));
    label->setAlignment(Qt::AlignCenter);
    label->setFrameShape(QFrame::StyledPanel);
    label->setFrameShadow(QFrame::Sunken);
    label->setMinimumWidth(label->sizeHint().width() + 8);
    bar->addPermanentWidget(label);
    return label;
}

void KeyLockIndicators::refresh() {
    for (const Pane& pane : std::as_const(panes_)) {
        const bool on = LockState(pane.lockName).value_or(false);
        pane.label->setText(on ? pane.text : QString());
    }
}
