#include "ui/ImportCrontab.h"

#include "platform/CrontabSource.h"
#include "ui/Colours.h"
#include "ui/Icon.h"
#include "ui/TextBytes.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <exception>
#include <tuple>
#include <utility>

namespace vantle {

namespace {

enum : int { colLine, colText, colVerdict, colWhy };

QTableWidgetItem* Cell(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    item->setToolTip(text);
    return item;
}

} // namespace

TfmImportCrontab::TfmImportCrontab(TCrontabReader reader, QWidget* parent)
    : TCentredDialog(parent), FReader(std::move(reader)) {
    setObjectName(QStringLiteral("fmImportCrontab"));
    setWindowTitle(QStringLiteral("Import Crontab"));
    setWindowIcon(VantleIcon());

    lbSource = new QLabel(this);
    lbSource->setObjectName(QStringLiteral("lbSource"));
    lbSource->setWordWrap(true);
    btnUserCrontab = new QPushButton(QStringLiteral("&Your Crontab"), this);
    btnUserCrontab->setObjectName(QStringLiteral("btnUserCrontab"));
    btnFile = new QPushButton(QStringLiteral("Fro&m File..."), this);
    btnFile->setObjectName(QStringLiteral("btnFile"));
    connect(btnUserCrontab, &QPushButton::clicked, this, [this] { ReadUserCrontab(); });
    connect(btnFile, &QPushButton::clicked, this, [this] {
        const QString path =
            QFileDialog::getOpenFileName(this, QStringLiteral("Import Crontab"), QDir::homePath());
        if (!path.isEmpty())
            ReadFile(path);
    });

    tbVerdicts = new QTableWidget(0, 4, this);
    tbVerdicts->setObjectName(QStringLiteral("tbVerdicts"));
    tbVerdicts->setHorizontalHeaderLabels({QStringLiteral("Line"), QStringLiteral("Crontab line"),
                                           QStringLiteral("Verdict"), QStringLiteral("Why")});
    tbVerdicts->verticalHeader()->hide();
    tbVerdicts->setWordWrap(true);
    tbVerdicts->setSelectionBehavior(QAbstractItemView::SelectRows);
    tbVerdicts->horizontalHeader()->setSectionResizeMode(colLine, QHeaderView::ResizeToContents);
    tbVerdicts->horizontalHeader()->setSectionResizeMode(colVerdict, QHeaderView::ResizeToContents);
    tbVerdicts->setColumnWidth(colText, 260);
    tbVerdicts->horizontalHeader()->setStretchLastSection(true);
    tbVerdicts->setMinimumSize(820, 300);

    lbAdvice = new QLabel(this);
    lbAdvice->setObjectName(QStringLiteral("lbAdvice"));
    lbAdvice->setWordWrap(true);
    lbAdvice->setTextInteractionFlags(Qt::TextSelectableByMouse);
    cbActive = new QCheckBox(QStringLiteral("&Switch the imported entries on"), this);
    cbActive->setObjectName(QStringLiteral("cbActive"));
    connect(cbActive, &QCheckBox::toggled, this, [this] { ShowVerdicts(); });
    std::tie(btnOk, btnCancel) = NewOkCancel(this);

    auto* layout = new QVBoxLayout(this);
    auto* source = new QHBoxLayout;
    source->addWidget(lbSource, 1);
    source->addWidget(btnUserCrontab);
    source->addWidget(btnFile);
    layout->addLayout(source);
    layout->addWidget(tbVerdicts, 1);
    layout->addWidget(lbAdvice);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cbActive);
    buttons->addStretch(1);
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    layout->addLayout(buttons);
}

void TfmImportCrontab::Start(std::vector<std::string> takenNames) {
    FTakenNames = std::move(takenNames);
    cbActive->setChecked(false);
    ReadUserCrontab();
}

void TfmImportCrontab::ReadUserCrontab() {
    const QString source = QStringLiteral("Your crontab (crontab -l)");
    try {
        ShowCrontab(FReader(), source, true);
    } catch (const std::exception& error) {
        ShowFailure(source, TextOfBytes(error.what()));
    }
}

void TfmImportCrontab::ReadFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ShowFailure(path, file.errorString());
        return;
    }
    const QByteArray bytes = file.readAll();
    ShowCrontab(std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())), path,
                false);
}

void TfmImportCrontab::ShowCrontab(const std::string& text, const QString& source,
                                   bool userCrontab) {
    TCrontabImportOptions options;
    options.LocalZone = MachineZone();
    options.TakenNames = FTakenNames;
    options.IsUserName = IsUserColumn;
    FImport = ImportCrontab(text, options);
    FUserCrontab = userCrontab;
    lbSource->setText(source);
    ShowVerdicts();
}

void TfmImportCrontab::ShowFailure(const QString& source, const QString& message) {
    FImport = {};
    lbSource->setText(source + QStringLiteral(": ") + message);
    ShowVerdicts();
}

void TfmImportCrontab::ShowVerdicts() {
    tbVerdicts->setRowCount(static_cast<int>(FImport.Lines.size()));
    int row = 0;
    for (const TCrontabLine& line : FImport.Lines) {
        tbVerdicts->setItem(row, colLine,
                            Cell(line.Line == 0 ? QString() : QString::number(line.Line)));
        tbVerdicts->setItem(row, colText, Cell(TextOfBytes(line.Text)));
        QTableWidgetItem* verdict = Cell(QString::fromStdString(VerdictText(line)));
        if (line.Verdict == TCrontabVerdict::NotImported)
            verdict->setForeground(ErrorColour());
        tbVerdicts->setItem(row, colVerdict, verdict);
        tbVerdicts->setItem(row++, colWhy, Cell(TextOfBytes(line.Why)));
    }
    tbVerdicts->resizeRowsToContents();

    QStringList advice;
    const std::size_t count = FImport.Entries.size();
    if (count == 0) {
        advice << QStringLiteral("Nothing to add.");
    } else {
        advice << QStringLiteral("Ok adds %1 %2, switched %3; File > Save keeps them.")
                      .arg(count)
                      .arg(count == 1 ? QStringLiteral("entry") : QStringLiteral("entries"))
                      .arg(cbActive->isChecked() ? QStringLiteral("on") : QStringLiteral("off"));
        for (const std::string& line : CommentOutAdvice(FImport, FUserCrontab))
            advice << TextOfBytes(line).trimmed();
    }
    lbAdvice->setText(advice.join(QLatin1Char('\n')));
    btnOk->setEnabled(count > 0);
}

std::vector<TSchedule> TfmImportCrontab::Entries() const {
    std::vector<TSchedule> entries = FImport.Entries;
    for (TSchedule& entry : entries)
        entry.Active = cbActive->isChecked();
    return entries;
}

} // namespace vantle
