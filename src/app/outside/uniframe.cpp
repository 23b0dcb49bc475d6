#include "app/outside/uniframe.h"

#include <QGroupBox>

UniFrame::UniFrame(QWidget* parent) : UniControl(new QGroupBox(parent)) {
  m_group = static_cast<QGroupBox*>(widget());
}

QString UniFrame::Caption() const { return m_group->title(); }

void UniFrame::setCaption(const QString& caption) { m_group->setTitle(caption); }

QWidget* UniFrame::container() const { return m_group; }
