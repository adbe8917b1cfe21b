#pragma once

#include "BiText.h"

// Texts of a line watched through the message broker: the status bar's words
// for what the watch reports (%1 the broker's host:port or the line, %2 the
// line), the refusal of what only a line polled here can do, and the port
// dialog's broker fields (%1 the site or line as typed).
inline constexpr BiText kWatchConnected{"已连接消息服务器 %1，监视线路 %2。",
                                        "Connected to the broker %1, watching line %2."};
inline constexpr BiText kWatchBrokerLost{"与消息服务器的连接已断开，正在重新连接。",
                                         "The connection to the broker is lost. Reconnecting."};
inline constexpr BiText kWatchLineOffline{"线路 %1 已离线。", "Line %1 is offline."};
inline constexpr BiText kWatchLineOnline{"线路 %1 在线。", "Line %1 is online."};
// The broker refused the connection: for lack of a permitted user, or for
// the reason numbered %2 (its CONNACK code).
inline constexpr BiText kWatchNotAuthorised{
    "消息服务器 %1 拒绝连接：未获授权（该服务器要求用户名和密码）。正在重试。",
    "The broker %1 refused the connection: not authorised (it wants a user name and password). Trying again."};
inline constexpr BiText kWatchBrokerRefused{"消息服务器 %1 拒绝连接（代码 %2）。正在重试。",
                                            "The broker %1 refused the connection (code %2). Trying again."};
inline constexpr BiText kWatchRefused{
    "该线路通过消息服务器监视，不能在本机读写仪表或更改地址范围。",
    "This line is watched through the broker: meters cannot be read, written or re-addressed from here."};

inline constexpr BiText kTransportBroker{"消息服务器（监视线路）", "Message broker (watch a line)"};
inline constexpr BiText kCommSite{"站点：", "Site:"};
inline constexpr BiText kCommLine{"线路：", "Line:"};
inline constexpr BiText kCommTopicLevelNotValid{
    "站点或线路名“%1”无效，只能包含字母、数字、- _ .",
    "The site or line name \"%1\" is not valid: letters, digits, - _ . only."};
