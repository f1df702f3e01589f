#pragma once

#include "platform/objc/Methods.h"

// Every selector the bundle registers or sends by name, written once: a
// typo here is one wrong name everywhere, which the tests see, rather than
// a registration and a send that quietly miss each other.
namespace orvane::sel {

using objc::Selector;

// Pages.
inline constexpr Selector specifiers{"specifiers"};
inline constexpr Selector specifiersForPlistName{"specifiersForPlistName:"};
inline constexpr Selector loadSpecifiersFromPlistName_target{"loadSpecifiersFromPlistName:target:"};
inline constexpr Selector readPreferenceValue{"readPreferenceValue:"};
inline constexpr Selector setPreferenceValue_specifier{"setPreferenceValue:specifier:"};
inline constexpr Selector loadView{"loadView"};
inline constexpr Selector viewDidLoad{"viewDidLoad"};
inline constexpr Selector viewWillAppear{"viewWillAppear:"};
inline constexpr Selector viewWillDisappear{"viewWillDisappear:"};
inline constexpr Selector tableView_cellForRowAtIndexPath{"tableView:cellForRowAtIndexPath:"};
inline constexpr Selector tableView_viewForHeaderInSection{"tableView:viewForHeaderInSection:"};
inline constexpr Selector tableView_heightForHeaderInSection{"tableView:heightForHeaderInSection:"};
inline constexpr Selector increaseAlpha{"increaseAlpha"};
inline constexpr Selector emailQM{"emailQM"};
inline constexpr Selector mailComposeController_didFinishWithResult_error{
    "mailComposeController:didFinishWithResult:error:"};
inline constexpr Selector tweetSupport{"tweetSupport:"};
inline constexpr Selector themeTitles{"themeTitles"};
inline constexpr Selector themeValues{"themeValues"};

// Localiser.
inline constexpr Selector sharedLocalizer{"sharedLocalizer"};
inline constexpr Selector localizationBundle{"localizationBundle"};
inline constexpr Selector localizedStringForKey{"localizedStringForKey:"};
inline constexpr Selector localizedStringForKey_inTable{"localizedStringForKey:inTable:"};
inline constexpr Selector localizedSpecifiersForSpecifiers{"localizedSpecifiersForSpecifiers:"};
inline constexpr Selector localizedSpecifiersForSpecifiers_inTable{"localizedSpecifiersForSpecifiers:inTable:"};
inline constexpr Selector loadLocalizedSpecifiersForSpecifiers_intoArray{
    "loadLocalizedSpecifiersForSpecifiers:intoArray:"};

// Views and cells.
inline constexpr Selector init{"init"};
inline constexpr Selector initWithFrame{"initWithFrame:"};
inline constexpr Selector initWithStyle_reuseIdentifier{"initWithStyle:reuseIdentifier:"};
inline constexpr Selector initWithStyle_reuseIdentifier_specifier{"initWithStyle:reuseIdentifier:specifier:"};
inline constexpr Selector initWithDevName_realName_jobSubtitle_devImage{
    "initWithDevName:realName:jobSubtitle:devImage:"};
inline constexpr Selector titleLabel{"titleLabel"};
inline constexpr Selector userInterfaceIdiom{"userInterfaceIdiom"};
inline constexpr Selector randomTexts{"randomTexts"};
inline constexpr Selector headerLabel{"headerLabel"};
inline constexpr Selector setHeaderLabel{"setHeaderLabel:"};
inline constexpr Selector subHeaderLabel{"subHeaderLabel"};
inline constexpr Selector setSubHeaderLabel{"setSubHeaderLabel:"};
inline constexpr Selector randomLabel{"randomLabel"};
inline constexpr Selector setRandomLabel{"setRandomLabel:"};
inline constexpr Selector logoImageView{"logoImageView"};
inline constexpr Selector setLogoImageView{"setLogoImageView:"};
inline constexpr Selector devImageView{"devImageView"};
inline constexpr Selector setDevImageView{"setDevImageView:"};
inline constexpr Selector devNameLabel{"devNameLabel"};
inline constexpr Selector setDevNameLabel{"setDevNameLabel:"};
inline constexpr Selector realNameLabel{"realNameLabel"};
inline constexpr Selector setRealNameLabel{"setRealNameLabel:"};
inline constexpr Selector jobLabel{"jobLabel"};
inline constexpr Selector setJobLabel{"setJobLabel:"};

}  // namespace orvane::sel
