// SPDX-License-Identifier: MIT
#include "gui/detected_forums_dialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

#include "gui/dialog_buttons.h"
#include "gui/qt_text.h"

namespace quillstash::gui {

namespace {
using Model = DetectedForumsModel;
}  // namespace

DetectedForumsDialog::DetectedForumsDialog(std::vector<DetectedForumsModel::Row> forums, QWidget* parent)
    : QDialog(parent), model_(std::move(forums)), list_(new QTreeWidget(this)) {
  setObjectName(controlName(1011));
  setWindowTitle(QString::fromLatin1(Model::kTitle));
  auto* layout = new QVBoxLayout(this);

  list_->setObjectName(controlName(Model::kList));
  list_->setToolTip(tr("Ticked forums are downloaded; unticking a forum leaves out everything under it"));
  list_->setRootIsDecorated(false);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setColumnCount(2);
  QStringList titles;
  for (const auto& column : Model::kColumns) titles << QString::fromLatin1(column.title);
  list_->setHeaderLabels(titles);
  for (int c = 0; c < 2; ++c) list_->setColumnWidth(c, Model::kColumns[c].width);
  list_->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  // Sub-forums sit under their forum; each item keeps its row number.
  std::vector<QTreeWidgetItem*> items;
  const auto& rows = model_.rows();
  for (std::size_t row = 0; row < rows.size(); ++row) {
    const auto& forum = rows[row];
    QStringList texts{toQString(forum.name), toQString(forum.address)};
    const bool nested = forum.parent >= 0 && static_cast<std::size_t>(forum.parent) < row;
    auto* item = nested ? new QTreeWidgetItem(items[static_cast<std::size_t>(forum.parent)], texts)
                        : new QTreeWidgetItem(list_, texts);
    if (nested) list_->setRootIsDecorated(true);
    item->setData(0, Qt::UserRole, static_cast<qulonglong>(row));
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    items.push_back(item);
  }
  showChecks();
  list_->expandAll();
  // A click on a partly ticked box ticks it, with everything below it.
  connect(list_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) {
    if (column != 0 || syncing_) return;
    model_.setChecked(item->data(0, Qt::UserRole).toULongLong(), item->checkState(0) != Qt::Unchecked);
    showChecks();
  });
  layout->addWidget(list_);
  resize(400, 300);

  auto* choose = new QHBoxLayout;
  auto* all = new QPushButton(tr("&Select all"), this);
  all->setObjectName(QStringLiteral("selectAll"));
  all->setToolTip(tr("Tick every forum"));
  auto* none = new QPushButton(tr("Select &none"), this);
  none->setObjectName(QStringLiteral("selectNone"));
  none->setToolTip(tr("Clear every forum"));
  for (QPushButton* button : {all, none}) button->setAutoDefault(false);
  choose->addWidget(all);
  choose->addWidget(none);
  choose->addStretch(1);
  layout->addLayout(choose);
  connect(all, &QPushButton::clicked, this, [this] {
    model_.setAllChecked(true);
    showChecks();
  });
  connect(none, &QPushButton::clicked, this, [this] {
    model_.setAllChecked(false);
    showChecks();
  });

  addOkCancelRow(*this, *layout, Model::kOk, Model::kOkText, Model::kCancel, Model::kCancelText);
}

void DetectedForumsDialog::showChecks() {
  syncing_ = true;
  for (QTreeWidgetItemIterator it(list_); *it != nullptr; ++it) {
    const auto row = static_cast<std::size_t>((*it)->data(0, Qt::UserRole).toULongLong());
    const DetectedForumsModel::Shown shown = model_.shown(row);
    (*it)->setCheckState(0, shown == DetectedForumsModel::Shown::kChecked   ? Qt::Checked
                            : shown == DetectedForumsModel::Shown::kPartial ? Qt::PartiallyChecked
                                                                            : Qt::Unchecked);
  }
  syncing_ = false;
}

}  // namespace quillstash::gui
