// SPDX-License-Identifier: MIT
#include "gui/detected_forums_dialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
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
  list_->setToolTip(tr("Ticked forums are downloaded"));
  list_->setRootIsDecorated(false);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setColumnCount(2);
  QStringList titles;
  for (const auto& column : Model::kColumns) titles << QString::fromLatin1(column.title);
  list_->setHeaderLabels(titles);
  for (int c = 0; c < 2; ++c) list_->setColumnWidth(c, Model::kColumns[c].width);
  list_->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  for (const auto& forum : model_.rows()) {
    auto* item = new QTreeWidgetItem(list_, QStringList{toQString(forum.name), toQString(forum.address)});
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(0, forum.checked ? Qt::Checked : Qt::Unchecked);
  }
  connect(list_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) {
    if (column != 0) return;
    int row = list_->indexOfTopLevelItem(item);
    if (row >= 0) model_.setChecked(static_cast<std::size_t>(row), item->checkState(0) == Qt::Checked);
  });
  layout->addWidget(list_);
  resize(400, 300);

  addOkCancelRow(*this, *layout, Model::kOk, Model::kOkText, Model::kCancel, Model::kCancelText);
}

}  // namespace quillstash::gui
