#include "widgets/corporatedirectory.h"

#include "ui_corporatedirectory.h"
#include "widgets/flowlayout.h"

CorporateDirectory::CorporateDirectory(
    QString partyId, const QString &name, const QString &greeting, QWidget *parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::CorporateDirectory>())
    , m_name(name)
    , m_greeting(greeting)
    , m_partyId(std::move(partyId))
{
    ui->setupUi(this);
    ui->GreetingLabel->setText(greeting);
    m_flow = new FlowLayout(ui->corporatedirectoryScrollArea, 6, -1, -1);
    setAccessibleName(name);
    ui->corporatedirectoryScrollArea->setAccessibleName(name);
}

CorporateDirectory::~CorporateDirectory() = default;

void CorporateDirectory::addWidget(QWidget *tile)
{
    m_flow->addWidget(tile);
}

int CorporateDirectory::tileCount() const
{
    return m_flow->count();
}
