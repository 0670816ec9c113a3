// The fixed tables of the step editor: edit functions, bindable keys, input columns.
#include "stepeditor.h"

const EditFunctionEntry EditFunctionTable[] = {
    {0, "(なし)"},
    {1, "カーソルを先頭へ移動"},
    {2, "カーソルを末尾へ移動"},
    {3, "カーソルを一頁上へ移動"},
    {4, "カーソルを一頁下へ移動"},
    {5, "カーソルを前小節へ移動"},
    {6, "カーソルを次小節へ移動"},
    {7, "カーソルを一行上へ移動"},
    {8, "カーソルを一行下へ移動"},
    {9, "入力確定"},
    {10, "入力取消"},
    {11, "カーソルを左へ移動"},
    {12, "カーソルを右へ移動"},
    {13, "イベントを挿入"},
    {14, "イベントを削除"},
    {15, "値を１加算"},
    {16, "値を１減算"},
    {0, nullptr},
};

const BindableKeyEntry BindableKeyTable[] = {
    {vk::Home, "Home"},  {vk::End, "End"},    {vk::Prior, "PageUp"}, {vk::Next, "PageDown"},
    {vk::Up, "↑"},       {vk::Down, "↓"},     {vk::Left, "←"},       {vk::Right, "→"},
    {vk::Insert, "INS"}, {vk::Delete, "DEL"}, {vk::Return, "Enter"}, {vk::Escape, "Esc"},
    {vk::Tab, "TAB"},    {0, nullptr},
};

const InputColumn InputColumns[3] = {
    {4, 2, " 0123456789ABCDEFabcdef"},
    {7, 2, " 0123456789ABCDEFabcdef"},
    {22, 3, " 1234567#ABCDEFGabcdefg"},
};
