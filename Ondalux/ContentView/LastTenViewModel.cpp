#include "LastTenViewModel.h"

LastTenViewModel::LastTenViewModel(QObject *parent)
    : QObject(parent)
{ }
