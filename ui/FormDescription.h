// The text form of a form description:
//
//   object uUpd: TuUpd
//     Left = 32                       integers, negative allowed; $hex for colours
//     Caption = 'Setup ''x'' '       strings in single quotes ('' is one quote), UTF-8
//     BorderStyle = bsSingle          identifiers (enums, booleans, handler names)
//     BorderIcons = []                sets
//     Picture.Data = {89504E47...}    binary data in hex, may span lines
//     object Child: TClass ... end    nested objects
//   end
//
// Lines starting with // are comments.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "ui/Component.h"

namespace ui {

struct ObjectDescription {
    std::string name;
    std::string className;
    int line = 0;
    std::vector<std::pair<std::string, PropValue>> properties;
    std::vector<ObjectDescription> children;
};

// Parses a description; throws ui::Exception naming the line for malformed text.
ObjectDescription ParseFormDescription(const std::string& text);

}  // namespace ui
