#include "System/Init.h"

CQ_Init::CQ_Init(Function function, const char* name, const char* description)
    : qccz_Name(name), qccz_Description(description) {
  if (function) function();
}

CQ_Exit::CQ_Exit(Function function, const char* name, const char* description)
    : qccz_Name(name), qccz_Description(description), pfn_Function(function) {}

CQ_Exit::~CQ_Exit() {
  if (pfn_Function) pfn_Function();
}
