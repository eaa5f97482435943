#pragma once
// The 25 functions the device's infrared receiver can be taught, by key number (the
// number sent with the learn command and the index of the key's code in the remote code
// table). Captions are the key buttons' texts; the learning texts are what the learning
// window shows while it waits for that key. Spellings are the device maker's and stay
// exactly as they are ("Rgith" included).
#include <array>

namespace dsptune {

inline constexpr int kRemoteKeyCount = 25;

struct RemoteKey {
  int number;  // 1..25
  const char* captionZh;
  const char* captionEn;
  const char* learningEn;
  const char* learningZh;
};

inline constexpr std::array<RemoteKey, kRemoteKeyCount> kRemoteKeys{{
    {1, "电源开关", "Power", "Learning key:Power", "您正在学习的键：电源开关"},
    {2, "Android主页", "Home", "Learning key:Android Home", "您正在学习的键：Android主页"},
    {3, "输入选择", "Input", "Learning key:Input", "您正在学习的键：输入选择"},
    {4, "向上选择", "Up", "Learning key:Up", "您正在学习的键：向上选择"},
    {5, "向下选择", "Down", "Learning key:Down", "您正在学习的键：向下选择"},
    {6, "向左选择", "Left", "Learning key:Left", "您正在学习的键：向左选择"},
    {7, "向右选择", "Right", "Learning key:Rgith", "您正在学习的键：向右选择"},
    {8, "确认/进入", "OK/Enter", "Learning key:OK/Enter", "您正在学习的键：确认/进入"},
    {9, "Android菜单", "Menu", "Learning key:Android Menu", "您正在学习的键：Android菜单"},
    {10, "静音", "Mute", "Learning key:Mute", "您正在学习的键：静音"},
    {11, "取消/返回", "Esc", "Learning key:Back/Esc", "您正在学习的键：返回/取消"},
    {12, "话筒音量+", "Mic Vol+", "Learning key:Mic Vol+", "您正在学习的键：话筒音量+"},
    {13, "话筒音量-", "Mic Vol-", "Learning key:Mic Vol-", "您正在学习的键：话筒音量-"},
    {14, "效果音量+", "Effect Vol+", "Learning key:Effect Vol+", "您正在学习的键：效果音量+"},
    {15, "效果音量-", "Effect Vol-", "Learning key:Effect Vol-", "您正在学习的键：效果音量-"},
    {16, "音乐音量+", "Music Vol+", "Learning key:Music Vol+", "您正在学习的键：音乐音量+"},
    {17, "音乐音量-", "Music Vol-", "Learning key:Music Vol-", "您正在学习的键：音乐音量-"},
    {18, "录音", "Record", "Learning key:Record", "您正在学习的键：录音"},
    {19, "模式一", "Mode1", "Learning key:Mode1", "您正在学习的键：模式一"},
    {20, "模式二", "Mode2", "Learning key:Mode2", "您正在学习的键：模式二"},
    {21, "模式三", "Mode3", "Learning key:Mode3", "您正在学习的键：模式三"},
    {22, "模式四", "Mode4", "Learning key:Mode4", "您正在学习的键：模式四"},
    {23, "升调", "UP Tone", "Learning key:Up tone", "您正在学习的键：升调"},
    {24, "原调", "Org Tone", "Learning key:Original tone", "您正在学习的键：原调"},
    {25, "降调", "Down Tone", "Learning key:Down tone", "您正在学习的键：降调"},
}};

// The key with number `key` (1..25); nullptr for any other number.
constexpr const RemoteKey* FindRemoteKey(int key) {
  return key >= 1 && key <= kRemoteKeyCount ? &kRemoteKeys[std::size_t(key - 1)] : nullptr;
}

// Control numbers of the key buttons in the remote-control dialog (1599 for key 1 up to
// 1623 for key 25), the language tables' keys for their captions.
inline constexpr int kFirstKeyButtonId = 1599;
constexpr int KeyButtonControlId(int key) { return kFirstKeyButtonId + key - 1; }

}  // namespace dsptune
