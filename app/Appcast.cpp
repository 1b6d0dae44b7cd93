#include "app/Appcast.h"

#include "app/VersionComparison.h"

#include <cstring>
#include <libxml/parser.h>
#include <libxml/tree.h>

namespace orvela {
namespace {

bool named(const xmlNode* node, const char* name, const char* ns = nullptr) {
    if (node->type != XML_ELEMENT_NODE || std::strcmp(reinterpret_cast<const char*>(node->name), name) != 0) return false;
    const char* href = node->ns ? reinterpret_cast<const char*>(node->ns->href) : nullptr;
    return ns ? (href && std::strcmp(href, ns) == 0) : href == nullptr;
}

std::string textOf(const xmlNode* node) {
    xmlChar* content = xmlNodeGetContent(node);
    std::string text = content ? reinterpret_cast<const char*>(content) : "";
    xmlFree(content);
    size_t first = text.find_first_not_of(" \t\r\n");
    size_t last = text.find_last_not_of(" \t\r\n");
    return first == std::string::npos ? "" : text.substr(first, last - first + 1);
}

std::string attribute(const xmlNode* node, const char* name, const char* ns) {
    xmlChar* value = ns ? xmlGetNsProp(node, reinterpret_cast<const xmlChar*>(name), reinterpret_cast<const xmlChar*>(ns))
                        : xmlGetNoNsProp(node, reinterpret_cast<const xmlChar*>(name));
    std::string text = value ? reinterpret_cast<const char*>(value) : "";
    xmlFree(value);
    return text;
}

// The release's fields may sit on the item or on its enclosure; the item's win.
std::optional<Appcast::Item> itemOf(const xmlNode* node) {
    Appcast::Item item;
    std::string enclosureUrl;
    for (const xmlNode* child = node->children; child; child = child->next) {
        if (named(child, "version", Appcast::sparkleNamespace)) item.version = textOf(child);
        else if (named(child, "shortVersionString", Appcast::sparkleNamespace)) item.shortVersion = textOf(child);
        else if (named(child, "os", Appcast::sparkleNamespace)) item.os = textOf(child);
        else if (named(child, "link")) item.page = textOf(child);
        else if (named(child, "enclosure")) {
            enclosureUrl = attribute(child, "url", nullptr);
            if (item.version.empty()) item.version = attribute(child, "version", Appcast::sparkleNamespace);
            if (item.shortVersion.empty())
                item.shortVersion = attribute(child, "shortVersionString", Appcast::sparkleNamespace);
            if (item.os.empty()) item.os = attribute(child, "os", Appcast::sparkleNamespace);
        }
    }
    if (item.page.empty()) item.page = enclosureUrl;
    if (item.shortVersion.empty()) item.shortVersion = item.version;
    if (item.version.empty() || item.page.empty()) return std::nullopt;
    return item;
}

}  // namespace

std::optional<Appcast> Appcast::parse(std::string_view xml) {
    xmlDoc* document = xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "appcast.xml", nullptr,
                                     XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    if (!document) return std::nullopt;
    std::optional<Appcast> feed;
    const xmlNode* root = xmlDocGetRootElement(document);
    if (root && named(root, "rss")) {
        feed.emplace();
        for (const xmlNode* channel = root->children; channel; channel = channel->next) {
            if (!named(channel, "channel")) continue;
            for (const xmlNode* node = channel->children; node; node = node->next) {
                if (!named(node, "item")) continue;
                if (auto item = itemOf(node)) feed->items.push_back(std::move(*item));
            }
        }
    }
    xmlFreeDoc(document);
    return feed;
}

std::optional<Appcast::Item> Appcast::newestFor(std::string_view os) const {
    std::optional<Item> newest;
    for (const auto& item : items) {
        if (!item.os.empty() && item.os != os) continue;
        if (!newest || compareVersions(item.version, newest->version) > 0) newest = item;
    }
    return newest;
}

}  // namespace orvela
