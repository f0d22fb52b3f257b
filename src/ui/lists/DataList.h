#pragma once

#include "ui/lists/ListWindow.h"

// The logger data list ("Lista de dados"): one recording set of the logger
// memory, both units filled.
class DataList : public ListWindow {
    Q_OBJECT
public:
    explicit DataList(App &app, QWidget *parent = nullptr);
    ~DataList() override;

    void Form_Load();
    // The name block printed first while the name, sector and company
    // window is open (empty otherwise).
    QStringList addTextPreface() const;

public slots:
    void Toolbar1_ButtonClick(const QString &key) override;
};

// Closes the logger data list if it is open and opens it anew, empty.
DataList *reopenDataList(App &app);
