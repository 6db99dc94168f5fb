#pragma once
#include "platform/form.h"

namespace vrn {

class Main2 : public Form {
  Q_OBJECT
 public:
  explicit Main2(QWidget* parent = nullptr);
};

}  // namespace vrn
