#include "panels/CriteriaPanels.h"

#include "dialogs/ContextHelp.h"
#include "layout/Colours.h"
#include "layout/DialogUnits.h"
#include "panels/SpinEdit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QSignalBlocker>
#include <QStyle>
#include <QToolButton>

#include <initializer_list>
#include <string_view>

namespace vantrel::gui {
namespace {

/// A text box whose preferred width is a number of characters, so that the
/// panels keep the designed window's compact proportions.
class CompactLineEdit final : public QLineEdit {
public:
    CompactLineEdit(int chars, QWidget* parent) : QLineEdit(parent), chars_(chars) {}
    QSize sizeHint() const override {
        QSize hint = QLineEdit::sizeHint();
        hint.setWidth(fontMetrics().averageCharWidth() * chars_ + 12);
        return hint;
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

private:
    int chars_;
};

/// How the controls of each panel are arranged: rows of fields, each field
/// a caption and its control (check boxes carry their own caption).
struct PanelRow {
    std::initializer_list<std::string_view> fields;
};
struct PanelLayout {
    Panel panel;
    std::initializer_list<PanelRow> rows;
};

// "..." stands for the New Location's browse button.
const PanelLayout kLayouts[] = {
    {Panel::RegExpr, {{{"regexMatch"}}, {{"regexReplace"}}, {{"regexMatchCase"}}}},
    {Panel::Filename, {{{"filenameMode"}}, {{"fixedName"}}}},
    {Panel::Replace, {{{"replaceText"}}, {{"replaceWith"}}, {{"replaceMatchCase"}}}},
    {Panel::Case, {{{"caseMode"}}}},
    {Panel::Removals,
     {{{"removeFirstN"}},
      {{"removeLastN"}},
      {{"removeFrom", "removeTo"}},
      {{"removeChars"}},
      {{"removeWords"}},
      {{"removeDigits", "removeLetters"}},
      {{"removeSymbols", "removeHigh"}}}},
    {Panel::Additions, {{{"prefix"}}, {{"insertText"}}, {{"insertPos"}}, {{"suffix"}}}},
    {Panel::AutoDate,
     {{{"dateMode"}},
      {{"dateType"}},
      {{"dateFormat"}},
      {{"dateSeparator", "dateSegmentSeparator"}},
      {{"dateCustom"}},
      {{"dateCentury", "dateOffsetHours"}}}},
    {Panel::FolderName, {{{"folderNameMode", "folderNameSeparator"}}}},
    {Panel::Numbering,
     {{{"numberMode", "numberInsertPos"}},
      {{"numberStart", "numberIncrement"}},
      {{"numberPad", "numberSeparator"}},
      {{"numberBase"}}}},
    {Panel::Extension, {{{"extensionMode", "fixedExtension"}}}},
    {Panel::Selections,
     {{{"filter", "minLength"}},
      {{"includeFolders", "includeFiles", "includeHidden", "recursive"}}}},
    {Panel::NewLocation, {{{"newLocation", "..."}}}},
};

/// Preferred widths of text boxes, in characters.
int textWidth(std::string_view name) {
    for (std::string_view narrow : {"dateSeparator", "dateSegmentSeparator", "numberSeparator",
                                    "folderNameSeparator", "fixedExtension"})
        if (name == narrow)
            return 4;
    if (name == "newLocation")
        return 24;
    if (name == "filter")
        return 14;
    return 8;
}

std::size_t indexOf(const CriteriaField& field) {
    return static_cast<std::size_t>(&field - criteriaFields().data());
}

QString toQString(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

CriteriaPanel::CriteriaPanel(Panel panel, QWidget* parent)
    : QGroupBox(QString::fromUtf8(panelCaption(panel).data(),
                                  static_cast<qsizetype>(panelCaption(panel).size())),
                parent),
      panel_(panel), reset_(new QToolButton(this)) {
    const int number = static_cast<int>(panel);
    setObjectName(QStringLiteral("panel%1").arg(number));
    QFont bold = font();
    bold.setBold(true);
    setFont(bold);
    reset_->setObjectName(QStringLiteral("reset%1").arg(number));
    reset_->setText(QStringLiteral("R"));
    reset_->setToolTip(QStringLiteral("Reset %1").arg(title()));
    reset_->setFocusPolicy(Qt::NoFocus);
    reset_->setAutoRaise(false);
}

void CriteriaPanel::setHighlight(std::optional<QColor> colour) {
    if (colour == highlight_)
        return;
    highlight_ = colour;
    setAutoFillBackground(colour.has_value());
    QPalette p = parentWidget() != nullptr ? parentWidget()->palette() : QPalette();
    if (colour) {
        p.setColor(QPalette::Window, *colour);
        // The captions must stay readable on whatever colour was chosen.
        const QColor text =
            relativeLuminance(*colour) > 0.4 ? QColor(Qt::black) : QColor(Qt::white);
        p.setColor(QPalette::WindowText, text);
        setPalette(p);
    } else {
        setPalette(QPalette());
    }
    update();
}

void CriteriaPanel::resizeEvent(QResizeEvent* event) {
    QGroupBox::resizeEvent(event);
    // The "R" button sits on the frame, at the top right corner.
    const int side = std::max(fontMetrics().height(), 14);
    reset_->setFixedSize(side, side);
    reset_->move(width() - side - 4, 0);
    reset_->raise();
}

CriteriaPanels::CriteriaPanels(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("criteriaPanels"));
    controls_.resize(criteriaFields().size(), nullptr);
    for (const PanelLayout& layout : kLayouts)
        buildPanel(layout.panel);

    resetAll_ = new QPushButton(QStringLiteral("Re&set"), this);
    resetAll_->setObjectName(QStringLiteral("resetAll"));
    setHelpId(resetAll_, 1059);
    rename_ = new QPushButton(QStringLiteral("&Rename"), this);
    rename_->setObjectName(QStringLiteral("rename"));
    setHelpId(rename_, 1060);
    rename_->setEnabled(false);
    const DialogUnits du(font());
    rename_->setMinimumSize(du.size(37, 25));
    resetAll_->setMinimumSize(du.size(29, 15));
    connect(resetAll_, &QPushButton::clicked, this, &CriteriaPanels::resetAllRequested);
    connect(rename_, &QPushButton::clicked, this, &CriteriaPanels::renameRequested);

    // The designed arrangement: three bands of panels, the buttons at the
    // bottom right.
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(du.x(4));
    grid->setVerticalSpacing(du.y(3));
    const auto at = [&](Panel p, int row, int column, int rows = 1, int columns = 1) {
        grid->addWidget(panel(p), row, column, rows, columns);
    };
    at(Panel::RegExpr, 0, 0);
    at(Panel::Filename, 1, 0);
    at(Panel::Replace, 0, 1);
    at(Panel::Case, 1, 1);
    at(Panel::Removals, 0, 2, 2, 1);
    at(Panel::Additions, 0, 3);
    at(Panel::AutoDate, 0, 4);
    at(Panel::FolderName, 1, 3, 1, 2);
    at(Panel::Numbering, 0, 5);
    at(Panel::Extension, 1, 5);
    at(Panel::Selections, 2, 0, 1, 3);
    at(Panel::NewLocation, 2, 3, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(resetAll_, 0, Qt::AlignBottom);
    buttons->addWidget(rename_, 0, Qt::AlignVCenter);
    grid->addLayout(buttons, 2, 5);
}

QWidget* CriteriaPanels::makeControl(const CriteriaField& field, QWidget* parent) {
    QWidget* control = nullptr;
    const QString name =
        QString::fromLatin1(field.name.data(), static_cast<qsizetype>(field.name.size()));
    const CriteriaField* f = &field;
    switch (field.kind) {
    case FieldKind::Text: {
        auto* edit = new CompactLineEdit(textWidth(field.name), parent);
        connect(edit, &QLineEdit::textEdited, this,
                [this, f](const QString& text) { emit fieldEdited(f, text); });
        control = edit;
        break;
    }
    case FieldKind::Integer: {
        auto* spin = new SpinEdit(parent);
        spin->setRange(field.spinMin, field.spinMax);
        spin->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        connect(spin, &SpinEdit::edited, this,
                [this, f](const QString& text) { emit fieldEdited(f, text); });
        control = spin;
        break;
    }
    case FieldKind::Choice: {
        auto* combo = new QComboBox(parent);
        for (const std::string_view line : field.lines())
            combo->addItem(QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size())));
        // As wide as the lines need (the list drops down wider when it must);
        // the long base names share the panel's whole width anyway.
        combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        std::size_t longest = 0;
        for (const std::string_view line : field.lines())
            longest = std::max(longest, line.size());
        combo->setMinimumContentsLength(static_cast<int>(std::min<std::size_t>(longest, 9)));
        connect(combo, &QComboBox::activated, this,
                [this, f](int index) { emit fieldEdited(f, QString::number(index)); });
        control = combo;
        break;
    }
    case FieldKind::Flag: {
        auto* box = new QCheckBox(
            QString::fromUtf8(field.label.data(), static_cast<qsizetype>(field.label.size())),
            parent);
        connect(box, &QCheckBox::clicked, this, [this, f](bool checked) {
            emit fieldEdited(f, checked ? QStringLiteral("1") : QStringLiteral("0"));
        });
        control = box;
        break;
    }
    }
    control->setObjectName(QStringLiteral("field_") + name);
    control->setFont(font()); // not the panel's bold caption font
    setHelpId(control, field.controlId);
    controls_[indexOf(field)] = control;
    return control;
}

QWidget* CriteriaPanels::buildPanel(Panel p) {
    auto* box = new CriteriaPanel(p, this);
    panels_[static_cast<std::size_t>(p) - 1] = box;
    connect(box->resetButton(), &QToolButton::clicked, this,
            [this, p] { emit resetPanelRequested(static_cast<int>(p)); });
    auto* grid = new QGridLayout(box);
    const DialogUnits du(font());
    grid->setHorizontalSpacing(du.x(3));
    grid->setVerticalSpacing(du.y(2));
    grid->setContentsMargins(du.x(3), du.y(3), du.x(3), du.y(2));
    const PanelLayout* layout = nullptr;
    for (const PanelLayout& l : kLayouts)
        if (l.panel == p)
            layout = &l;
    int columns = 0;
    for (const PanelRow& row : layout->rows)
        columns = std::max(columns, static_cast<int>(row.fields.size()) * 2);
    int r = 0;
    for (const PanelRow& row : layout->rows) {
        int c = 0;
        int left = static_cast<int>(row.fields.size());
        for (const std::string_view name : row.fields) {
            --left;
            const int span = left == 0 ? columns - c : 2;
            if (name == "...") {
                auto* browse = new QPushButton(QStringLiteral("..."), box);
                browse->setObjectName(QStringLiteral("browseNewLocation"));
                browse->setFont(font());
                browse->setMaximumWidth(du.x(18) + 8);
                connect(browse, &QPushButton::clicked, this,
                        &CriteriaPanels::browseNewLocationRequested);
                grid->addWidget(browse, r, c, 1, span);
                c += span;
                continue;
            }
            const CriteriaField& field = *findCriteriaField(name);
            QWidget* control = makeControl(field, box);
            if (field.kind == FieldKind::Flag || field.label.empty()) {
                grid->addWidget(control, r, c, 1, span);
            } else {
                auto* label =
                    new QLabel(QString::fromUtf8(field.label.data(),
                                                 static_cast<qsizetype>(field.label.size())),
                               box);
                label->setFont(font());
                label->setBuddy(control);
                grid->addWidget(label, r, c);
                grid->addWidget(control, r, c + 1, 1, span - 1);
            }
            c += span;
        }
        ++r;
    }
    grid->setRowStretch(r, 1);
    return box;
}

void CriteriaPanels::showAll(const RenameCriteria& criteria) {
    std::vector<const CriteriaField*> all;
    for (const CriteriaField& f : criteriaFields())
        all.push_back(&f);
    showFields(criteria, all);
}

void CriteriaPanels::showPanel(const RenameCriteria& criteria, Panel p) {
    std::vector<const CriteriaField*> fields;
    for (const CriteriaField& f : criteriaFields())
        if (f.panel == p)
            fields.push_back(&f);
    showFields(criteria, fields);
}

void CriteriaPanels::showFields(const RenameCriteria& criteria,
                                const std::vector<const CriteriaField*>& fields) {
    for (const CriteriaField* f : fields) {
        QWidget* control = controls_[indexOf(*f)];
        switch (f->kind) {
        case FieldKind::Text: {
            auto* edit = static_cast<QLineEdit*>(control);
            const QString text = toQString(criteria.*f->text);
            // Only when it differs: the cursor stays where the user types.
            if (edit->text() != text) {
                const QSignalBlocker blocker(edit);
                edit->setText(text);
            }
            break;
        }
        case FieldKind::Integer:
            static_cast<SpinEdit*>(control)->setTextQuietly(toQString(criteria.*f->text));
            break;
        case FieldKind::Choice: {
            auto* combo = static_cast<QComboBox*>(control);
            const QSignalBlocker blocker(combo);
            const int index = criteria.*f->choice;
            combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
            break;
        }
        case FieldKind::Flag: {
            auto* box = static_cast<QCheckBox*>(control);
            const QSignalBlocker blocker(box);
            box->setChecked(criteria.*f->flag);
            break;
        }
        }
    }
}

void CriteriaPanels::updateHighlights(const RenameCriteria& criteria, bool on, QColor colour) {
    for (int p = 1; p <= kPanelCount; ++p)
        updateHighlight(criteria, static_cast<Panel>(p), on, colour);
}

void CriteriaPanels::updateHighlight(const RenameCriteria& criteria, Panel p, bool on,
                                     QColor colour) {
    const bool active = on && isPanelActive(criteria, p);
    panel(p)->setHighlight(active ? std::optional<QColor>(colour) : std::nullopt);
}

QWidget* CriteriaPanels::control(const CriteriaField& field) const {
    return controls_[indexOf(field)];
}

CriteriaPanel* CriteriaPanels::panel(Panel p) const {
    return panels_[static_cast<std::size_t>(p) - 1];
}

} // namespace vantrel::gui
