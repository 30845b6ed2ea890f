#include "dialogs/ContextHelp.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QWidget>

#include <unordered_map>

namespace vantrel::gui {
namespace {

// The help texts by control number, as the program has always shown them.
const std::unordered_map<int, const char*>& helpTexts() {
    static const std::unordered_map<int, const char*> texts{
        {1000, "Folder navigator"},
        {1001, "List of files eligible for renaming"},
        {1010, "Regular Expression \"match\" pattern"},
        {1011, "Regular Expression \"replace\" pattern"},
        {1015, "Keep or remove the filename"},
        {1019, "Use a fixed filename"},
        {1020, "Use a fixed extension for a filename"},
        {1023, "Change the case of a filename"},
        {1029, "Text to be replaced"},
        {1030, "Text to replace with"},
        {1031, "Match/ignore case when performing repalcements"},
        {1034, "Remove all numerics from the filename"},
        {1035, "Remove the first n characters"},
        {1036, "Remove the last n characters"},
        {1039, "Text to prepend to the filename"},
        {1040, "Text to append to the filename"},
        {1041, "Specify how to append autonumber text"},
        {1047, "Autonumber start-number"},
        {1048, "Autonumber increment (e.g. to number files in steps of 10)"},
        {1049, "Autonumber padding (e.g. specify 4 to give numbers of 0001, 0002 etc.)"},
        {1050, "Separator between filename and autonumber text"},
        {1052, "Pattern to list certain files/folders"},
        {1054, "Include folders in the list"},
        {1055, "Include files in the list"},
        {1056, "Include or exclude files in subfolders. Use with caution."},
        {1057, "Choose a preset from this list"},
        {1058, "Specify a new location for the renamed files to be COPIED to, leaving the "
               "original files unchanged."},
        {1059, "Reset all criteria to default values"},
        {1060, "Rename all selected files according to current criteria"},
        {1061, "Match/ignore case in regular expressions"},
        {1062, "Include or exclude hidden files"},
        {1064, "List of characters to remove from the filename"},
        {1066, "Specify which type of date to add to the filename"},
        {1068, "Choose a format for the date"},
        {1071, "Specify a separator to put between the filename and date"},
        {1072, "Remove text up to this position"},
        {1073, "Remove text starting at this position"},
        {1076, "Tick this box to prevent this warning from being displayed"},
        {1077, "Insert text into a filename"},
        {1079, "Insert text at position n"},
        {1080, "Tick this box to prevent this warning from being displayed"},
        {1081, "Change the filename extension according to rules"},
        {1082, "Remove all text from the filename"},
        {1083, "Remove all symbols from the filename (see help file for list of symbols)"},
        {1085, "Separate date segments which this text"},
        {1086, "Remove all characters beyond 127 in the ASCII table"},
        {1087, "Prefix or suffix the filename with the name of the parent folder"},
        {1091, "Separate the filename and folder name by this text"},
        {1093, "Specify the type of date to include"},
        {1094, "Increment/decrement the \"Autonumber start at n\" counter"},
        {1095, "Increment/decrement the \"Autonumber increment by n\" counter"},
        {1096, "Increment/decrement the \"Autonumber pad n\" counter"},
        {1097, "Specify a space-separated list of words to remove from the filename"},
        {1098, "Tick this box to include the century in the dates (e.g. 20 instead of 2004)"},
        {1099, "Increment/decrement the \"First n chars\" counter"},
        {1100, "Increment/decrement the \"Last n chars\" counter"},
        {1101, "Tick this box to show this message next time"},
        {1102, "Insert autonumber text at this position"},
        {1104, "Increment/decrement the \"Autonumber insert at n\" counter"},
        {1105, "Custom format for autodate text. See help file for full syntax."},
        {1106, "Tick this box to no longer display tips on startup"},
        {1107, "Increment/decrement the \"Insert at n chars\" counter"},
        {1108, "Increment/decrement the \"Remove from n\" counter"},
        {1110, "Increment/decrement the \"Remove to n\" counter"},
        {2021, "Specify the name of the preset to use"},
        {2022, "Specify the full path name to display"},
        {2023, "Tick this box to no longer receive confirmation messages"},
    };
    return texts;
}

/// The help id of the widget or of its nearest parent that has one; 0 for none.
int helpIdOf(const QWidget* widget) {
    for (; widget != nullptr; widget = widget->parentWidget()) {
        const QVariant id = widget->property(kHelpIdProperty);
        if (id.isValid())
            return id.toInt();
        if (widget->isWindow())
            break;
    }
    return 0;
}

} // namespace

void setHelpId(QWidget* widget, int id) {
    widget->setProperty(kHelpIdProperty, id);
    const QString text = contextHelpText(id);
    if (!text.isEmpty())
        widget->setWhatsThis(text);
}

QString contextHelpText(int id) {
    const auto it = helpTexts().find(id);
    return it == helpTexts().end() ? QString() : QString::fromUtf8(it->second);
}

QWidget* showContextHelp(QWidget* widget, QPoint globalPos) {
    const QString text = contextHelpText(helpIdOf(widget));
    if (text.isEmpty())
        return nullptr;
    // A popup closes at the next click or key anywhere, as help popups do.
    auto* popup = new QLabel(text, nullptr, Qt::Popup);
    popup->setObjectName(QStringLiteral("contextHelpPopup"));
    popup->setAttribute(Qt::WA_DeleteOnClose);
    popup->setWordWrap(true);
    popup->setMargin(6);
    popup->setFrameStyle(QFrame::Box | QFrame::Plain);
    QPalette palette = popup->palette();
    palette.setColor(QPalette::Window, QColor(255, 255, 208));
    palette.setColor(QPalette::WindowText, Qt::black);
    popup->setPalette(palette);
    popup->setAutoFillBackground(true);
    popup->setMaximumWidth(popup->fontMetrics().averageCharWidth() * 50);
    popup->adjustSize();
    QRect area = QRect(globalPos, popup->size());
    if (const QScreen* screen = QGuiApplication::screenAt(globalPos)) {
        const QRect avail = screen->availableGeometry();
        area.moveRight(std::min(area.right(), avail.right()));
        area.moveBottom(std::min(area.bottom(), avail.bottom()));
    }
    popup->move(area.topLeft());
    popup->show();
    return popup;
}

bool ContextHelpFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_F1 && key->modifiers() == Qt::ShiftModifier) {
            // Key presses go to the focused control: the receiver is the one.
            QWidget* focus = QApplication::focusWidget();
            if (focus == nullptr && watched->isWidgetType())
                focus = static_cast<QWidget*>(watched);
            if (focus != nullptr)
                showContextHelp(focus, QCursor::pos());
            return true;
        }
    } else if (event->type() == QEvent::WhatsThis && watched->isWidgetType()) {
        const auto* help = static_cast<QHelpEvent*>(event);
        showContextHelp(static_cast<QWidget*>(watched), help->globalPos());
        return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace vantrel::gui
