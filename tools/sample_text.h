#pragma once
// The sample data of the screenshots (names, subjects, rules, mails) in the
// program's language: as written in Chinese, else its English here. The
// operation log's rows stay Chinese: the program writes its records so.
#include <string_view>

#include "res/language.h"

namespace pw::tools {

inline const char* sample(const char* chinese) {
  static constexpr struct {
    std::string_view chinese;
    const char* english;
  } kSamples[] = {
      {"有线连接 1", "Wired connection 1"},
      {"宽带拨号", "Broadband dial-up"},
      {"移动热点", "Mobile hotspot"},
      {"垃圾邮件直接删除", "Delete spam at once"},
      {"订单邮件转发给财务", "Forward orders to accounts"},
      {"备份客户来信", "Back up customer mail"},
      {"李娜 <li.na@example.com>", "Lina Li <li.na@example.com>"},
      {"本周例会纪要", "Minutes of this week's meeting"},
      {"限时优惠！", "Limited offer!"},
      {"王强 <wang.q@example.org>", "Qiang Wang <wang.q@example.org>"},
      {"订单 2026-1208-07", "Order 2026-1208-07"},
      {"订单 2026-1208-11", "Order 2026-1208-11"},
      {"陈静 <chen.j@example.net>", "Jing Chen <chen.j@example.net>"},
      {"询价：办公椅 200 把", "Quote request: 200 office chairs"},
      {"财务部", "Accounts"},
      {"月底对账", "Month-end reconciliation"},
      {"李娜", "Lina Li"},
      {"项目经理", "Project manager"},
      {"王强", "Qiang Wang"},
      {"老客户", "Long-standing customer"},
      {"周建", "Jian Zhou"},
      {"项目组", "Project team"},
      {"客户", "Customers"},
      {"周建 <zhou.j@example.com>", "Jian Zhou <zhou.j@example.com>"},
      {"合同草稿（附件）", "Draft contract (attached)"},
      {"您好：\r\n\r\n附上本周订单，共 12 项，请安排发货。\r\n\r\n王强\r\n",
       "Hello,\r\n\r\nHere are this week's orders, 12 items; please arrange the shipping.\r\n\r\nQiang Wang\r\n"},
      {"/home/zhang/邮件备份/本周例会纪要.eml", "/home/zhang/mail-backup/meeting-minutes.eml"},
      {"/home/zhang/邮件备份/合同草稿.eml", "/home/zhang/mail-backup/draft-contract.eml"},
      {"sales@example.cn;订单中心;", "sales@example.cn;Order desk;"},
      {"订单;发票;", "order;invoice;"},
      {"金额;", "amount;"},
      {"订单号：*<#1 min=6>\r\n金额：*<#2>", "Order no.: *<#1 min=6>\r\nAmount: *<#2>"},
      {"订单 #1#", "Order #1#"},
      {"回复：#S#", "Re: #S#"},
      {"您好，订单 #1# 已收到，金额 #2#。\r\n财务部", "Hello, we received order #1# for #2#.\r\nAccounts"},
      {"/home/zhang/文档/付款说明.pdf", "/home/zhang/Documents/payment-terms.pdf"},
      {"#D# #F# 订单#1# 金额#2#", "#D# #F# order #1# amount #2#"},
      {"/home/zhang/订单.txt", "/home/zhang/orders.txt"},
      {"张伟，你好：\r\n\r\n本周例会的纪要已经放在 http://wiki.example.com/meeting/2026-12-08 ，"
       "请在周五前看一遍。\r\n需要修改的地方直接回信给我 li.na@example.com，"
       "或者抄送 admin@example.com。\r\n资料也可以从 ftp://files.example.com/meeting/ 下载。\r\n\r\n李娜\r\n",
       "Hello Wei,\r\n\r\nthe minutes of this week's meeting are at http://wiki.example.com/meeting/2026-12-08 ;"
       " please read them before Friday.\r\nSend changes straight to me at li.na@example.com,"
       " or copy admin@example.com.\r\nThe papers are also at ftp://files.example.com/meeting/ .\r\n\r\nLina\r\n"},
      {"<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\"></head><body>"
       "<h3>十二月销售简报</h3><p>各位好，附上本月<b>各区销售额</b>：</p>"
       "<p><img src=\"cid:chart1@example.com\"></p>"
       "<p>合同草稿与报价单见附件，照片打包在 photos.zip 里。</p><p>周建</p></body></html>",
       "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\"></head><body>"
       "<h3>December sales brief</h3><p>Hello all, here are this month's <b>sales by region</b>:</p>"
       "<p><img src=\"cid:chart1@example.com\"></p>"
       "<p>The draft contract and the quote are attached; the photos are in photos.zip.</p><p>Jian</p></body></html>"},
      {"十二月销售简报（附件）", "December sales brief (attached)"},
      {"合同草稿.pdf", "draft-contract.pdf"},
      {"报价单.xlsx", "quote.xlsx"},
      {"限时优惠！全场五折", "Limited offer! Everything half price"},
      {"十二月行业通讯", "December industry newsletter"},
      {"/home/zhang/邮件备份", "/home/zhang/mail-backup"},
      {"已收到询价", "Your quote request arrived"},
  };
  if (res::language() == res::Language::chinese) return chinese;
  for (const auto& s : kSamples)
    if (s.chinese == chinese) return s.english;
  return chinese;
}

}  // namespace pw::tools
