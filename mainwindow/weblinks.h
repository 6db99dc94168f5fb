#pragma once
// The web pages the program links to. They are configuration: change them
// here and nowhere else.
#include <QString>

namespace vrn::weblinks {

// A public page that lists file-name extensions.
inline const QString kExtensionsPage = QStringLiteral("https://fr.wikipedia.org/wiki/Extension_de_nom_de_fichier");
// The publisher's home page and its pages about its other free programs.
inline const QString kPublisherHome = QStringLiteral("https://varnelo.example.org/");
inline QString programPage(const char* slug) {
  return kPublisherHome + QLatin1String("logiciels/") + QLatin1String(slug);
}

}  // namespace vrn::weblinks
