#include "sim/settings/SystemTexts.h"

#include <array>
#include <map>

#include "platform/device/Device.h"

namespace settings {
namespace {

using Texts = std::array<const char*, 10>;

// In the order of SystemText, as iOS 7 and 8 say them.
const std::map<std::string, Texts>& tables() {
  static const std::map<std::string, Texts> languages = {
      {"en", {"Settings", "Back", "Cancel", "Send", "Post", "Carrier", "New Message", "To:", "Cc/Bcc:", "Subject:"}},
      {"de", {"Einstellungen", "Zurück", "Abbrechen", "Senden", "Senden", "Netzbetreiber", "Neue E-Mail", "An:",
              "Kopie/Blindkopie:", "Betreff:"}},
      {"fr", {"Réglages", "Retour", "Annuler", "Envoyer", "Publier", "Opérateur", "Nouveau message", "À :",
              "Cc/Cci :", "Objet :"}},
      {"es", {"Ajustes", "Atrás", "Cancelar", "Enviar", "Publicar", "Operador", "Nuevo mensaje", "Para:", "Cc/Cco:",
              "Asunto:"}},
      {"it", {"Impostazioni", "Indietro", "Annulla", "Invia", "Pubblica", "Operatore", "Nuovo messaggio", "A:",
              "Cc/Ccn:", "Oggetto:"}},
      {"nl", {"Instellingen", "Terug", "Annuleer", "Stuur", "Plaats", "Provider", "Nieuw bericht", "Aan:",
              "Kopie/Blinde kopie:", "Onderwerp:"}},
      {"pt", {"Ajustes", "Voltar", "Cancelar", "Enviar", "Publicar", "Operadora", "Nova Mensagem", "Para:",
              "Cc/Cco:", "Assunto:"}},
      {"ru", {"Настройки", "Назад", "Отменить", "Отправить", "Отправить", "Оператор", "Новое сообщение", "Кому:",
              "Копия/Скрытая:", "Тема:"}},
      {"ja", {"設定", "戻る", "キャンセル", "送信", "投稿", "キャリア", "新規メッセージ", "宛先:", "Cc/Bcc:", "件名:"}},
      {"ko", {"설정", "뒤로", "취소", "보내기", "게시", "통신사", "새로운 메시지", "받는 사람:", "참조/숨은 참조:",
              "제목:"}},
      {"zh-Hans", {"设置", "返回", "取消", "发送", "发布", "运营商", "新邮件", "收件人:", "抄送/密送:", "主题:"}},
      {"zh-Hant", {"設定", "返回", "取消", "傳送", "發佈", "電信業者", "新郵件", "收件人:", "副本/密件副本:", "主旨:"}},
  };
  return languages;
}

}  // namespace

std::string systemText(SystemText text) {
  std::string language = device::setting("Language").value_or("en");
  const auto& languages = tables();
  // "zh-Hans-CN" reads zh-Hans, "de-AT" German.
  for (std::string code = language; !code.empty();) {
    if (auto found = languages.find(code); found != languages.end()) return found->second[static_cast<std::size_t>(text)];
    auto dash = code.rfind('-');
    code = dash == std::string::npos ? "" : code.substr(0, dash);
  }
  return languages.at("en")[static_cast<std::size_t>(text)];
}

}  // namespace settings
