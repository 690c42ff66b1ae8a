-- What wixl 0.101 cannot express, added to the database it built: one query
-- a line, @NAME@ filled in by make_packages.cmake. Lines starting with -- are
-- comments.
--
-- emberline.exe on the user's PATH (feature AddToPath): appended to the user's
-- PATH on install, and only that part removed on uninstall.
CREATE TABLE `Environment` (`Environment` CHAR(72) NOT NULL, `Name` CHAR(255) NOT NULL LOCALIZABLE, `Value` CHAR(255) LOCALIZABLE, `Component_` CHAR(72) NOT NULL PRIMARY KEY `Environment`)
INSERT INTO `Environment` (`Environment`, `Name`, `Value`, `Component_`) VALUES ('PathEntry', '=-PATH', '[~];[INSTALLDIR]', 'PathEntry')
INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('RemoveEnvironmentStrings', 3300)
INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('WriteEnvironmentStrings', 5200)
-- The Start-menu shortcut shows string 200 of emberline-gui.exe, which the
-- shell reads in the user's display language ("Emberline", "Emberline 烧录工具").
UPDATE `Shortcut` SET `DisplayResourceDLL` = '[#gui]', `DisplayResourceId` = 200 WHERE `Shortcut` = 'StartMenuShortcut'
-- An installed version equal to this one is replaced as well (the other
-- architecture's package of the same release): one Emberline per user.
DELETE FROM `Upgrade` WHERE `ActionProperty` = 'WIX_UPGRADE_DETECTED'
INSERT INTO `Upgrade` (`UpgradeCode`, `VersionMax`, `Attributes`, `ActionProperty`) VALUES ('{@UPGRADE_CODE@}', '@VERSION@', 513, 'WIX_UPGRADE_DETECTED')
