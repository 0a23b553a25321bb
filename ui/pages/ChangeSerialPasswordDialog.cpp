#include "ui/pages/ChangeSerialPasswordDialog.h"

// Will hold the masked code entry (1029) with "OK" and "EXIT".
CChangeSNPassword::CChangeSNPassword(QWidget* parent) : QDialog(parent) {}
