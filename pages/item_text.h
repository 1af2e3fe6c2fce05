#pragma once
// The pages' number fields: each value is shown by replacing the text of a dialog
// item. The widget side implements item_text_sink.
#include <string>

namespace tavrin {

class item_text_sink {
  public:
    virtual ~item_text_sink() = default;
    virtual void set_item_text(int item, const std::string& text) = 0;
};

// "%d": frequencies.
void set_item_int(item_text_sink& dialog, int item, int value);
// "%.1f": gains.
void set_item_tenths(item_text_sink& dialog, int item, double value);
// "%.2f": Q values.
void set_item_hundredths(item_text_sink& dialog, int item, double value);

}  // namespace tavrin
