#include "app/frame_commands.h"

#include <QStringList>

#include <array>

#include "res/string_table.h"
#include "ui/frame/command_ids.h"
#include "ui/ui_text.h"

namespace pw::app {
namespace {

namespace cmd = ui::cmd;

const std::array kCommands = {
    FrameCommand{cmd::kResumeAll, "开启所有监管(&R)", QKeySequence(Qt::CTRL | Qt::Key_R)},
    FrameCommand{cmd::kPauseAll, "关闭所有监管(&P)", QKeySequence(Qt::CTRL | Qt::Key_P)},
    FrameCommand{cmd::kResumeMailbox, "开启当前邮箱(&E)", {}},
    FrameCommand{cmd::kPauseMailbox, "关闭当前邮箱(&U)", {}},
    FrameCommand{cmd::kCheckAll, "检查所有邮箱(&A)", QKeySequence(Qt::CTRL | Qt::Key_A)},
    FrameCommand{cmd::kCheckMailbox, "检查当前邮箱(&C)", {}},
    FrameCommand{cmd::kStopCheck, "停止检查(&T)", {}},
    FrameCommand{cmd::kExit, "退出(&X)", {}},
    FrameCommand{cmd::kRemoteNewMails, "显示新到邮件(&N)...", {}},
    FrameCommand{cmd::kRemoteAllMails, "显示所有邮件(&A)...", {}},
    FrameCommand{cmd::kImportMailboxes, "导入邮箱(&I)...", {}},
    FrameCommand{cmd::kExportMailboxes, "导出邮箱(&E)...", {}},
    FrameCommand{cmd::kAddMailbox, "添加邮箱(&A)...", {}},
    FrameCommand{cmd::kModifyMailbox, "修改邮箱(&M)...", {}},
    FrameCommand{cmd::kDeleteMailbox, "删除邮箱(&D)", {}},
    FrameCommand{cmd::kImportRules, "导入规则(&I)...", {}},
    FrameCommand{cmd::kExportRules, "导出规则(&E)...", {}},
    FrameCommand{cmd::kNewRule, "新建规则(&N)...", {}},
    FrameCommand{cmd::kModifyRule, "修改规则(&M)...", {}},
    FrameCommand{cmd::kDeleteRule, "删除规则(&D)", {}},
    FrameCommand{cmd::kAddressBook, "转发地址簿(&A)...", {}},
    FrameCommand{cmd::kConfigureRules, "配置规则(&L)...", QKeySequence(Qt::CTRL | Qt::Key_L)},
    FrameCommand{cmd::kSettings, "系统设置(&S)...", QKeySequence(Qt::CTRL | Qt::Key_S)},
    FrameCommand{cmd::kViewToolbar, "工具栏(&T)", {}},
    FrameCommand{cmd::kViewStatusBar, "状态栏(&S)", {}},
    FrameCommand{cmd::kHelp, "使用指南(&H)...", QKeySequence(Qt::Key_F1)},
    FrameCommand{cmd::kFeedback, "建议和意见(&O)...", {}},
    FrameCommand{cmd::kWebSite, "青梧工作室作品(&P)...", {}},
    FrameCommand{cmd::kAbout, "关于 Pelliwick(&A)...", {}},
    FrameCommand{cmd::kShowMain, "显示主窗体(&S)", {}},
};

// Prompt and tool tip of the commands whose string the table does not hold.
struct Prompt {
  int id;
  const char* text;
};
const std::array kPrompts = {
    Prompt{cmd::kResumeAll, "开启所有邮箱的监管\n开启所有监管"},
    Prompt{cmd::kPauseAll, "关闭所有邮箱的监管\n关闭所有监管"},
    Prompt{cmd::kResumeMailbox, "开启当前邮箱的监管\n开启当前邮箱"},
    Prompt{cmd::kPauseMailbox, "关闭当前邮箱的监管\n关闭当前邮箱"},
    Prompt{cmd::kCheckAll, "立即检查所有被监管的邮箱\n检查所有邮箱"},
    Prompt{cmd::kCheckMailbox, "立即检查当前邮箱\n检查当前邮箱"},
    Prompt{cmd::kExit, "退出程序\n退出"},
    Prompt{cmd::kRemoteNewMails, "显示服务器上新到的邮件\n显示新到邮件"},
    Prompt{cmd::kRemoteAllMails, "显示服务器上所有的邮件\n显示所有邮件"},
    Prompt{cmd::kImportMailboxes, "从文本文件导入邮箱\n导入邮箱"},
    Prompt{cmd::kExportMailboxes, "把所有邮箱导出到文本文件\n导出邮箱"},
    Prompt{cmd::kModifyMailbox, "修改当前邮箱的信息\n修改邮箱"},
    Prompt{cmd::kDeleteMailbox, "删除当前邮箱\n删除邮箱"},
    Prompt{cmd::kImportRules, "从规则文件导入规则\n导入规则"},
    Prompt{cmd::kExportRules, "把所有规则导出到规则文件\n导出规则"},
    Prompt{cmd::kNewRule, "新建一条邮件规则\n新建规则"},
    Prompt{cmd::kModifyRule, "修改当前规则\n修改规则"},
    Prompt{cmd::kDeleteRule, "删除当前规则\n删除规则"},
    Prompt{cmd::kAddressBook, "管理转发地址簿\n转发地址簿"},
    Prompt{cmd::kConfigureRules, "配置每个邮箱应用的规则\n配置规则"},
    Prompt{cmd::kSettings, "修改系统设置\n系统设置"},
    Prompt{cmd::kViewToolbar, "显示或隐藏工具栏\n工具栏"},
    Prompt{cmd::kViewStatusBar, "显示或隐藏状态栏\n状态栏"},
    Prompt{cmd::kHelp, "打开使用指南\n使用指南"},
    Prompt{cmd::kFeedback, "给我们发送建议和意见\n建议和意见"},
    Prompt{cmd::kWebSite, "访问青梧工作室的网站\n青梧工作室作品"},
    Prompt{cmd::kAbout, "显示程序信息和版本号\n关于"},
    Prompt{cmd::kShowMain, "显示主窗体\n显示主窗体"},
};

QStringList halves(int id) {
  if (id == cmd::kStopCheck) return ui::text(sid::kStopCheckPrompt).split(QLatin1Char('\n'));
  if (res::has(id)) return ui::text(id).split(QLatin1Char('\n'));
  for (const Prompt& p : kPrompts)
    if (p.id == id) return ui::text(p.text).split(QLatin1Char('\n'));
  return {};
}

}  // namespace

const FrameCommand* frame_command(int id) {
  for (const FrameCommand& c : kCommands)
    if (c.id == id) return &c;
  return nullptr;
}

QString command_prompt(int id) { return halves(id).value(0); }
QString command_tool_tip(int id) { return halves(id).value(1); }

}  // namespace pw::app
