#include "ui/RunHistoryWindow.h"

#include "engine/RunStore.h"
#include "ui/Application.h"
#include "ui/ListView.h"
#include "ui/MomentText.h"
#include "ui/RunListModel.h"
#include "ui/TextBytes.h"

#include <QByteArray>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <map>
#include <vector>

namespace vantle {

namespace {

constexpr int ColumnWidths[TRunListModel::ColCount] = {140, 170, 100, 220, 90};

std::string BytesOf(const QVariant& data) {
    const QByteArray bytes = data.toByteArray();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

} // namespace

TfmRunHistory::TfmRunHistory(const TRunStore& store, const TFormatSettings& settings,
                             QWidget* parent)
    : QDialog(parent), FStore(store), FModel(new TRunListModel(store, settings, this)),
      FSearchTimer(new QTimer(this)) {
    setObjectName(QStringLiteral("fmRunHistory"));
    setWindowTitle(QStringLiteral("Run History"));
    setModal(false);

    auto* lbEntry = new QLabel(QStringLiteral("&Entry:"), this);
    cbEntry = new QComboBox(this);
    cbEntry->setObjectName(QStringLiteral("cbEntry"));
    cbEntry->setMinimumWidth(180);
    cbEntry->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    lbEntry->setBuddy(cbEntry);
    cbFailuresOnly = new QCheckBox(QStringLiteral("&Failures only"), this);
    cbFailuresOnly->setObjectName(QStringLiteral("cbFailuresOnly"));
    auto* lbSearch = new QLabel(QStringLiteral("Se&arch:"), this);
    edSearch = new QLineEdit(this);
    edSearch->setObjectName(QStringLiteral("edSearch"));
    edSearch->setClearButtonEnabled(true);
    edSearch->setPlaceholderText(QStringLiteral("Entry name or output text"));
    lbSearch->setBuddy(edSearch);
    auto* filterRow = new QHBoxLayout;
    filterRow->addWidget(lbEntry);
    filterRow->addWidget(cbEntry);
    filterRow->addSpacing(12);
    filterRow->addWidget(cbFailuresOnly);
    filterRow->addSpacing(12);
    filterRow->addWidget(lbSearch);
    filterRow->addWidget(edSearch, 1);

    lvRuns = new QTableView(this);
    lvRuns->setObjectName(QStringLiteral("lvRuns"));
    lvRuns->setModel(FModel);
    ShowAsList(*lvRuns);
    for (int col = 0; col < TRunListModel::ColCount; ++col)
        lvRuns->setColumnWidth(col, ColumnWidths[col]);
    const int startWidth = std::max(ColumnWidths[TRunListModel::colStart],
                                    MomentColumnWidth(*lvRuns, settings, TMomentDetail::Second));
    lvRuns->setColumnWidth(TRunListModel::colStart, startWidth);

    memOutput = new QPlainTextEdit(this);
    memOutput->setObjectName(QStringLiteral("memOutput"));
    memOutput->setReadOnly(true);
    memOutput->setUndoRedoEnabled(false);
    memOutput->setLineWrapMode(QPlainTextEdit::NoWrap);
    memOutput->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    // The names of the variables the run's entry set, never their values (none are kept).
    auto* runPane = new QWidget(this);
    lbDetails = new QLabel(runPane);
    lbDetails->setObjectName(QStringLiteral("lbDetails"));
    lbDetails->setTextFormat(Qt::PlainText);
    lbDetails->setWordWrap(true);
    lbDetails->hide();
    auto* runLayout = new QVBoxLayout(runPane);
    runLayout->setContentsMargins(0, 0, 0, 0);
    runLayout->addWidget(lbDetails);
    runLayout->addWidget(memOutput, 1);

    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(lvRuns);
    splitter->addWidget(runPane);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    splitter->setChildrenCollapsible(false);

    lbCount = new QLabel(this);
    lbCount->setObjectName(QStringLiteral("lbCount"));
    btnStopRun = new QPushButton(QStringLiteral("&Stop Run"), this);
    btnStopRun->setObjectName(QStringLiteral("btnStopRun"));
    // Enter in the search field must never stop a program.
    btnStopRun->setAutoDefault(false);
    btnStopRun->setEnabled(false);
    auto* bottomRow = new QHBoxLayout;
    bottomRow->addWidget(lbCount, 1);
    bottomRow->addWidget(btnStopRun);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filterRow);
    layout->addWidget(splitter, 1);
    layout->addLayout(bottomRow);

    FSearchTimer->setSingleShot(true);
    FSearchTimer->setInterval(SearchPauseMs);
    auto apply = [this] { RunHandler([this] { ApplyFilters(); }); };
    connect(FSearchTimer, &QTimer::timeout, this, apply);
    // Searching reads every run's output: once the user pauses, not on each keystroke.
    connect(edSearch, &QLineEdit::textEdited, FSearchTimer, qOverload<>(&QTimer::start));
    connect(edSearch, &QLineEdit::returnPressed, this, apply);
    connect(cbEntry, &QComboBox::currentIndexChanged, this, apply);
    connect(cbFailuresOnly, &QCheckBox::toggled, this, apply);
    connect(lvRuns->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { RunHandler([this] { SelectionChanged(); }); });
    connect(lvRuns, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid())
            emit EntryDoubleClicked(FModel->RunAt(index.row()).Name);
    });
    connect(btnStopRun, &QPushButton::clicked, this, [this] {
        const int row = SelectedRow();
        if (row >= 0 && FModel->RunAt(row).Result.empty())
            emit StopRequested(FModel->RunAt(row).Id);
    });

    // As wide as the start needs more than planned: the columns fit without scrolling.
    resize(760 + startWidth - ColumnWidths[TRunListModel::colStart], 480);
    FillEntries();
    FModel->SetQuery({});
    ShowCount();
}

int TfmRunHistory::SelectedRow() const {
    const QModelIndexList rows = lvRuns->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.front().row();
}

std::optional<std::int64_t> TfmRunHistory::SelectedRun() const {
    const int row = SelectedRow();
    if (row < 0)
        return std::nullopt;
    return FModel->RunAt(row).Id;
}

void TfmRunHistory::Refresh() {
    // A hidden window reads nothing: it catches up when it is shown.
    if (!isVisible()) {
        FStale = true;
        return;
    }
    try {
        Reload();
    } catch (const ERunStore& error) {
        // Another program holds the store: what is shown stays, and the next refresh
        // reads again.
        if (error.Fault() != TRunStoreFault::Busy)
            throw;
        FStale = true;
    }
}

void TfmRunHistory::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (FStale && !event->spontaneous())
        RunHandler([this] { Reload(); });
}

void TfmRunHistory::Reload() {
    FStale = false;
    const bool shownOpen = FShownOpen;
    const bool added = FModel->Reload();
    // A new entry name comes with a new run, which a filter may hide from the list.
    const TRunQuery& query = FModel->Query();
    if (added || query.Name || query.FailuresOnly || !query.Text.empty())
        FillEntries();
    const std::optional<std::int64_t> shown = FShownRun;
    SelectionChanged();
    // A run that was running has written more, or ended.
    if (shown && FShownRun == shown && shownOpen)
        ShowOutput(true);
    ShowCount();
}

void TfmRunHistory::ApplyFilters() {
    FSearchTimer->stop();
    TRunQuery query;
    if (cbEntry->currentIndex() > 0)
        query.Name = BytesOf(cbEntry->currentData());
    query.FailuresOnly = cbFailuresOnly->isChecked();
    const QByteArray text = edSearch->text().toUtf8();
    query.Text.assign(text.constData(), static_cast<std::size_t>(text.size()));
    const TRunQuery& current = FModel->Query();
    if (query.Name == current.Name && query.FailuresOnly == current.FailuresOnly &&
        query.Text == current.Text)
        return;
    const std::optional<std::int64_t> selected = SelectedRun();
    FModel->SetQuery(query);
    SelectRun(selected);
    ShowCount();
}

void TfmRunHistory::FillEntries() {
    std::vector<std::string> names;
    for (const auto& [name, run] : FStore.LastRuns())
        names.push_back(name);
    // The chosen entry stays chosen even when its runs have all been pruned.
    std::optional<std::string> chosen;
    if (cbEntry->currentIndex() > 0) {
        chosen = BytesOf(cbEntry->currentData());
        if (!std::binary_search(names.begin(), names.end(), *chosen))
            names.insert(std::lower_bound(names.begin(), names.end(), *chosen), *chosen);
    }
    bool same = cbEntry->count() == static_cast<int>(names.size()) + 1;
    for (int i = 1; same && i < cbEntry->count(); ++i)
        same = BytesOf(cbEntry->itemData(i)) == names[static_cast<std::size_t>(i - 1)];
    if (same)
        return;
    const QSignalBlocker blocker(cbEntry);
    cbEntry->clear();
    cbEntry->addItem(QStringLiteral("All entries"));
    for (const std::string& name : names) {
        cbEntry->addItem(TextOfBytes(name),
                         QByteArray(name.data(), static_cast<qsizetype>(name.size())));
        if (chosen && name == *chosen)
            cbEntry->setCurrentIndex(cbEntry->count() - 1);
    }
}

void TfmRunHistory::ShowRun(std::int64_t id) {
    Reload();
    if (FModel->RowOf(id) < 0) {
        const std::optional<TStoredRun> run = FStore.Run(id);
        if (!run)
            return;
        {
            const QSignalBlocker entryBlocker(cbEntry);
            const QSignalBlocker failureBlocker(cbFailuresOnly);
            if (cbEntry->currentIndex() > 0 && BytesOf(cbEntry->currentData()) != run->Name)
                cbEntry->setCurrentIndex(0);
            if (!run->Failure)
                cbFailuresOnly->setChecked(false);
        }
        ApplyFilters();
        if (FModel->RowOf(id) < 0) {
            edSearch->clear();
            ApplyFilters();
        }
    }
    SelectRun(id);
}

void TfmRunHistory::SelectRun(std::optional<std::int64_t> id) {
    const int row = id ? FModel->RowOf(*id) : -1;
    if (row < 0) {
        lvRuns->selectionModel()->clear();
    } else {
        const QModelIndex index = FModel->index(row, 0);
        lvRuns->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                             QItemSelectionModel::Rows);
        lvRuns->scrollTo(index);
    }
    SelectionChanged();
}

void TfmRunHistory::SelectionChanged() {
    const int row = SelectedRow();
    const bool open = row >= 0 && FModel->RunAt(row).Result.empty();
    btnStopRun->setEnabled(open);
    ShowDetails(row);
    const std::optional<std::int64_t> id = SelectedRun();
    if (id != FShownRun) {
        FShownRun = id;
        ShowOutput(false);
    }
    FShownOpen = open;
}

void TfmRunHistory::ShowDetails(int row) {
    const std::string environment = row >= 0 ? FModel->RunAt(row).Environment : std::string();
    lbDetails->setText(environment.empty()
                           ? QString()
                           : QStringLiteral("Environment: ") + TextOfBytes(environment));
    lbDetails->setVisible(!environment.empty());
}

void TfmRunHistory::ShowOutput(bool keepPlace) {
    if (!FShownRun) {
        memOutput->setPlaceholderText({});
        memOutput->clear();
        return;
    }
    QScrollBar* bar = memOutput->verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    const int place = bar->value();
    memOutput->setPlaceholderText(QStringLiteral("No output"));
    memOutput->setPlainText(TextOfBytes(FStore.ReadOutput(*FShownRun)));
    if (keepPlace && !atEnd) {
        bar->setValue(place);
        return;
    }
    memOutput->moveCursor(QTextCursor::End);
    bar->setValue(bar->maximum());
    // The box settles its scroll bar's range at its next layout pass.
    QTimer::singleShot(0, memOutput, [this] {
        memOutput->verticalScrollBar()->setValue(memOutput->verticalScrollBar()->maximum());
    });
}

void TfmRunHistory::ShowCount() {
    const int count = FModel->rowCount();
    lbCount->setText(count == 1 ? QStringLiteral("1 run") : QStringLiteral("%1 runs").arg(count));
}

} // namespace vantle
